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
exit $fail
