#!/usr/bin/env bash
# The lab runner must refuse to run when its namespace has any link besides
# loopback (it could then reach a real network), and run otherwise.
set -u
runner=$(cd "$(dirname "$0")" && pwd)/run-in-lab.sh
fail=0

check() {  # description, expected exit code, script run in a fresh namespace
  local got
  unshare -n bash -c "$3" >/dev/null 2>&1
  got=$?
  if [ "$got" -ne "$2" ]; then echo "FAIL: $1 (exit $got, expected $2)"; fail=1; else echo "ok: $1"; fi
}

check "refuses beside a bridge" 77 "ip link add br9 type bridge && '$runner' true"
check "refuses beside a veth link" 77 "ip link add va type veth peer name vb && '$runner' true"
check "runs with loopback only" 0 "ip link set lo up && '$runner' true"
check "passes the test program's failure on" 3 "'$runner' sh -c 'exit 3'"

# A run that fills the kernel's neighbour table (scripts/lab-lock.sh) keeps
# the labs of the whole machine waiting, and lets them go when it ends, even
# killed outright.
lock=$(cd "$(dirname "$0")/../../scripts" && pwd)/lab-lock.sh
unshare -n bash -c ". '$lock' && lab_hold_neighbours exclusive && exec sleep 300" >/dev/null 2>&1 &
holder=$!
for _ in $(seq 600); do
  flock -n -s /run/korvane-lab/voisins.verrou true || break
  sleep 0.1
done
check "waits while another run fills the neighbour table" 124 \
  "ip link set lo up && timeout 3 '$runner' true"
{ kill -9 "$holder" && wait "$holder"; } 2>/dev/null
check "runs once that run is gone, killed outright" 0 "ip link set lo up && timeout 60 '$runner' true"
exit $fail
