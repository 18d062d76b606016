#!/usr/bin/env bash
# Sweeps the simulated LAN with hostping and, side by side, with fping (one
# request per address, 1 s time-out as hostping, no retry, 1 ms between requests): wall
# time and peak memory for the lab's /24 (254 addresses, 6 answering). Both are
# measured on the program itself (/usr/bin/time runs it inside the admin
# namespace), not on the shell that enters the namespace. Runs as root; brings
# its own lab up in a private network namespace and takes it down.
#   bench/probe_sweep.sh [RUNS]
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
. "$root/bench/lab-entry.sh"
runs=${1:-5}
[[ $runs =~ ^[1-9][0-9]?$ ]] || { echo "bench : nombre de passes invalide : $runs" >&2; exit 2; }
bench_in_lab bench hostping labhost -- "$runs"

export KORVANE_LAB=krvbench KORVANE_LABHOST=$build/tests/labhost
lab=$root/scripts/lab.sh
work=$(mktemp -d)
trap '"$lab" down; rm -rf "$work"' EXIT
"$lab" up

for i in $(seq 1 254); do echo "198.18.0.$i"; done >"$work/lan24"

measure() {  # label, command...
  local label=$1; shift
  local total=0 best=999999 mem=0 t m
  for _ in $(seq "$runs"); do
    "$lab" exec /usr/bin/time -f '%e %M' -o "$work/time" "$@" >/dev/null 2>&1 || true
    read -r t m < <(tail -n 1 "$work/time")
    t=$(awk -v t="$t" 'BEGIN { printf "%d", t * 1000 }')
    total=$((total + t)); ((t < best)) && best=$t; ((m > mem)) && mem=$m
    sleep 1
  done
  printf '%-28s best %6d ms  mean %6d ms  peak %6d KB\n' "$label" "$best" $((total / runs)) "$mem"
}

measure "hostping /24" "$build/bin/hostping" "$work/lan24" "$work/out"
measure "fping /24" fping -q -r 0 -t 1000 -i 1 -f "$work/lan24"
echo "hostping: $(wc -l <"$work/out") hosts answered;" \
  "fping: $("$lab" exec fping -a -r 0 -t 1000 -f "$work/lan24" 2>/dev/null | wc -l) hosts answered"
