#!/usr/bin/env bash
# Runs one lab test program inside a lab of its own: brings a fresh lab up,
# runs the program in the lab's admin namespace, brings the lab down whatever
# happened. Refuses (exit 77, "skipped") unless this shell's network namespace
# holds nothing but loopback, so that no test packet can reach a real network.
# The lab shares the kernel's neighbour table with every other lab of the
# machine (scripts/lab-lock.sh); KORVANE_LAB_NEIGHBOURS=exclusive, for a test
# that fills it, keeps every other lab waiting while it runs.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
. "$root/scripts/netns-guard.sh"
. "$root/scripts/lab-lock.sh"

if ! in_private_netns; then
  echo "refus : les tests réseau ne tournent que dans un espace de noms réseau privé" \
       "(lancez scripts/test.sh, ou : unshare -n ctest)" >&2
  exit 77
fi

# A run killed outright (a test time-out) leaves its lab behind: take down
# the labs of runs that are gone, before this run makes its own.
for stale in /run/korvane-lab/kt*; do
  [ -d "$stale" ] || continue
  pid=${stale##*/kt}
  kill -0 "$pid" 2>/dev/null || KORVANE_LAB=kt$pid "$root/scripts/lab.sh" down
done

lab_hold_neighbours "${KORVANE_LAB_NEIGHBOURS:-shared}"

export KORVANE_LAB=kt$$
export KORVANE_LAB_SCRIPT=$root/scripts/lab.sh
lab=$root/scripts/lab.sh
trap '"$lab" down' EXIT
"$lab" up
scratch=$(mktemp -d)
trap '"$lab" down; rm -rf "$scratch"' EXIT
KORVANE_SCRATCH=$scratch "$lab" exec "$@"
