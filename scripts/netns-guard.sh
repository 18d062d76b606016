# Sourced by the scripts that may send packets. `in_private_netns` succeeds
# only when this shell's network namespace holds nothing but loopback, that is
# when nothing we send can leave the machine: the lab's own links live in the
# lab's namespaces, never in this one.
in_private_netns() {
  local links
  links=$(ip -o link show 2>/dev/null | awk -F': ' '{ sub(/@.*/, "", $2); print $2 }')
  [ "$links" = "lo" ]
}
