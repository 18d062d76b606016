#!/usr/bin/env bash
# What `netcmd nbtstat -a LIST` costs when the list holds silent addresses of
# the local link (datagrams to them wait for ARP in the kernel), on a /20 LAN
# whose six hosts answer NetBIOS names, two of them near its end:
#  - 250, 1000 and 4090 silent addresses (a /24's worth, then the whole /20
#    but its hosts) with the six hosts last, the neighbour table emptied first (cold);
#  - the same lists again at once (warm: the kernel remembers the silent
#    addresses as failed), as netsweep asks after its sweep;
#  - one silent address alone, the cost a list should not exceed by much.
# Each case runs RUNS times (best and median wall time, timed inside the
# namespace); every run must name the six hosts. Runs as root; brings up its
# own lab in a private network namespace and takes it down.
#   bench/nbtstat_list.sh [RUNS]
# KORVANE_BUILD is the build folder to take the programs from (default build/).
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
. "$root/bench/lab-entry.sh"
runs=${1:-3}
[[ $runs =~ ^[1-9][0-9]?$ ]] || { echo "bench : nombre de passes invalide : $runs" >&2; exit 2; }
bench_in_lab bench netcmd labhost -- "$runs"
ip link set lo up

export KORVANE_LABHOST=$build/tests/labhost KORVANE_LAB=krvnbt KORVANE_LAB_PREFIXLEN=20
lab=$root/scripts/lab.sh
work=$(mktemp -d)
trap '"$lab" down; rm -rf "$work"' EXIT
export KORVANE_LAB_HOSTS=$work/hosts
cat >"$KORVANE_LAB_HOSTS" <<'HOSTS'
h1  198.18.0.11    02:4b:52:00:04:01  PC-SALON     MAISON  -
h2  198.18.0.12    02:4b:52:00:04:02  PC1          MAISON  -
h3  198.18.4.77    02:4b:52:00:04:03  PC10         MAISON  -
h4  198.18.9.200   02:4b:52:00:04:04  SERVEUR-NAS  MAISON  -
h5  198.18.15.30   02:4b:52:00:04:05  IMPRIMANTE   MAISON  -
h6  198.18.15.254  02:4b:52:00:04:06  PC-BUREAU    MAISON  -
HOSTS
"$lab" up
hosts=$(awk '{ print $2 }' "$KORVANE_LAB_HOSTS" | tr '\n' ' ')
# Silent addresses of the /20, the hosts' own left out.
for t in $(seq 0 15); do for h in $(seq 1 254); do echo "198.18.$t.$h"; done; done |
  grep -vxF -e 198.18.0.1 -e 198.18.0.2 $(printf -- '-e %s ' $hosts) >"$work/silent"

ms() { awk -v us="$1" 'BEGIN { printf "%.1f", us / 1000 }'; }
best() { tr ' ' '\n' <<<"$1" | grep . | sort -n | head -n 1; }
median() { tr ' ' '\n' <<<"$1" | grep . | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

declare -A times named
failures=0
# One timed call in the admin machine: prints microseconds; the listing in $work/out.
timed_call() {  # addresses...
  "$lab" exec bash -c 'out=$1; shift; start=${EPOCHREALTIME//[!0-9]/}
    KORVANE_SCRATCH=$(mktemp -d) "$@" >"$out" 2>/dev/null || true
    echo $(( ${EPOCHREALTIME//[!0-9]/} - start ))' timed "$work/out" \
    "$build/bin/netcmd" nbtstat -a "$@"
}
measure() {  # label, silent-count
  local label=$1 count=$2 list t
  list=$(head -n "$count" "$work/silent" | tr '\n' ' ')
  for _ in $(seq "$runs"); do
    "$lab" exec ip neigh flush all 2>/dev/null || true
    t=$(timed_call $list $hosts)
    times[$label froid]+="$t "
    check "$label froid"
    t=$(timed_call $list $hosts)
    times[$label chaud]+="$t "
    check "$label chaud"
  done
}
check() {  # label
  local n
  n=$(grep -c '<00>.*UNIQUE' "$work/out" || true)
  named[$1]=$n
  [ "$n" -ge 6 ] || failures=$((failures + 1))
}

for _ in $(seq "$runs"); do
  "$lab" exec ip neigh flush all 2>/dev/null || true
  t=$(timed_call "$(head -n 1 "$work/silent")")
  times[seule]+="$t "
done
measure "250 muettes" 250
measure "1000 muettes" 1000
measure "4090 muettes" 4090

echo
echo "netcmd nbtstat -a LISTE sur un /20 (6 hôtes nommés en fin de liste) ; $runs passes, ms"
echo "  liste                      meilleur    médiane   hôtes nommés"
printf '  %-24s %10s %10s %14s\n' "1 adresse muette seule" "$(ms "$(best "${times[seule]}")")" \
  "$(ms "$(median "${times[seule]}")")" "-"
for label in "250 muettes" "1000 muettes" "4090 muettes"; do
  for state in froid chaud; do
    printf '  %-24s %10s %10s %14s\n' "$label, $state" "$(ms "$(best "${times[$label $state]}")")" \
      "$(ms "$(median "${times[$label $state]}")")" "${named[$label $state]}/6"
  done
done
((failures == 0)) || { echo "bench : $failures appels n'ont pas nommé les six hôtes" >&2; exit 1; }
