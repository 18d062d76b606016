#!/usr/bin/env bash
# `cmake --install`, run as root, gives hostping (and netsweep) the
# cap_net_raw file capability: installed so, hostping polls for a user whom
# net.ipv4.ping_group_range does not admit, where the program of the build
# folder cannot (exit 3).
# Probes only 127.0.0.1, in a network namespace of its own.
#   capability_test.sh BUILD_DIR      (exit 77: skipped)
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
. "$root/scripts/netns-guard.sh"
build=${1:?dossier de compilation manquant}
in_private_netns || { echo "refus : espace de noms réseau non privé" >&2; exit 77; }
[ "$(id -u)" = 0 ] || { echo "ignoré : il faut être root" >&2; exit 77; }
command -v setcap >/dev/null || { echo "ignoré : setcap absent" >&2; exit 77; }

prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
chmod 755 "$prefix"  # the user below must reach the programs
for program in hostping netsweep; do
  [ -e "$prefix/bin/$program" ] || continue
  getcap "$prefix/bin/$program" | grep -q 'cap_net_raw=ep' ||
    { echo "$program installé sans cap_net_raw : $(getcap "$prefix/bin/$program")" >&2; exit 1; }
done

mkdir -m 777 "$prefix/travail"
printf '127.0.0.1\r\n' >"$prefix/travail/liste"
poll_as_nobody() {  # hostping program: prints its exit status and result
  unshare --net -- sh -c '
    ip link set lo up && sysctl -qw net.ipv4.ping_group_range="1 0" &&
    setpriv --reuid=65534 --regid=65534 --clear-groups -- "$1" "$2/liste" "$2/resultat" 2>/dev/null
    echo "$? $(cat "$2/resultat" 2>/dev/null | tr -d "\r")"; rm -f "$2/resultat"' sh "$1" "$prefix/travail"
}
installed=$(poll_as_nobody "$prefix/bin/hostping")
built=$(poll_as_nobody "$build/bin/hostping")
[ "$installed" = "0 127.0.0.1=1" ] || { echo "installé : $installed" >&2; exit 1; }
[ "$built" = "3 " ] || { echo "non installé : $built" >&2; exit 1; }
echo "ok : installé « $installed », non installé « $built »"
