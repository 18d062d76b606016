#!/usr/bin/env bash
# netsweep's run on large lists: `netsweep noscan` in a private network
# namespace with nothing on it (no host to name, so the time is that of
# loading, merging and saving the lists), for
#  - "liste.ip" and "liste.mac" of 10 000, 40 000 and 100 000 lines;
#  - a "liste.ip.discover" of 200 000 lines in reverse order;
#  - a "liste.ip" of 16 Mio, the largest list a run reads;
#  - a "liste.appareils" of 10 000 and of 40 000 devices (the most it keeps).
# Each case runs RUNS times (best and median wall time); a run longer than
# LIMIT seconds (default 120) is stopped and shown as such. Every completed
# run must leave its lists with as many lines as it found.
#   bench/netsweep_lists.sh [RUNS] [LIMIT]
# KORVANE_BUILD is the build folder to take the programs from (default build/).
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
. "$root/bench/lab-entry.sh"
runs=${1:-3} limit=${2:-120}
[[ $runs =~ ^[1-9][0-9]?$ ]] || { echo "bench : nombre de passes invalide : $runs" >&2; exit 2; }
[[ $limit =~ ^[1-9][0-9]*$ ]] || { echo "bench : limite invalide : $limit" >&2; exit 2; }
bench_in_lab bench netsweep netcmd -- "$runs" "$limit"
ip link set lo up

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/install"
cp "$build/bin/netsweep" "$build/bin/netcmd" "$work/install/"
export KORVANE_SCRATCH=$work/scratch

lines_ip() {  # count: "poste<i> 10.<a>.<b>.<c>"
  awk -v n="$1" 'BEGIN { for (i = 0; i < n; i++)
    printf "poste%d 10.%d.%d.%d\r\n", i, int(i / 65536) % 256, int(i / 256) % 256, i % 256 + 1 }'
}
lines_mac() {  # count
  awk -v n="$1" 'BEGIN { for (i = 0; i < n; i++)
    printf "POSTE%d 02-00-%02X-%02X-%02X-%02X\r\n", i, int(i / 16777216) % 256,
      int(i / 65536) % 256, int(i / 256) % 256, i % 256 }'
}
lines_devices() {  # count: every device seen an hour ago
  local seen
  seen=$(date -u -d '1 hour ago' +%Y-%m-%dT%H:%M:%SZ)
  awk -v n="$1" -v t="$seen" 'BEGIN {
    printf "balayage=%s\r\nbalayage précédent=%s\r\n", t, t
    for (i = 0; i < n; i++)
      printf "02-00-%02X-%02X-%02X-%02X;10.%d.%d.%d;poste%d;%s;%s;;;oui\r\n",
        int(i / 16777216) % 256, int(i / 65536) % 256, int(i / 256) % 256, i % 256,
        int(i / 65536) % 256, int(i / 256) % 256, i % 256, i, t, t }'
}
lines_discover_reversed() {  # count
  awk -v n="$1" 'BEGIN { for (i = n - 1; i >= 0; i--)
    printf "10.%d.%d.%d=poste%07d\r\n", int(i / 65536) % 256, int(i / 256) % 256, i % 256, i }'
}

ms() { awk -v us="$1" 'BEGIN { printf "%.1f", us / 1000 }'; }
best() { tr ' ' '\n' <<<"$1" | grep . | sort -n | head -n 1; }
median() { tr ' ' '\n' <<<"$1" | grep . | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
count() { tr -cd '\n' <"$1" | wc -c; }

declare -A times status
failures=0
measure() {  # label, ip-lines, mac-lines, discover-lines (reversed), ip-bytes (0: by lines), devices
  local label=$1 t code
  for _ in $(seq "$runs"); do
    rm -rf "$work/scratch" "$work/install"/liste.* "$work/install/netsweep.lck"
    lines_devices "${6:-0}" >"$work/install/liste.appareils"
    if [ "$5" -gt 0 ]; then
      (set +o pipefail; lines_ip 1000000 | head -c "$5" | head -n -1) >"$work/install/liste.ip"
    else
      lines_ip "$2" >"$work/install/liste.ip"
    fi
    lines_mac "$3" >"$work/install/liste.mac"
    lines_discover_reversed "$4" >"$work/install/liste.ip.discover"
    local before_ip before_discover before_devices
    before_ip=$(count "$work/install/liste.ip") before_discover=$(count "$work/install/liste.ip.discover")
    before_devices=$(count "$work/install/liste.appareils")
    start=${EPOCHREALTIME//[!0-9]/}
    code=0
    (cd "$work/install" && timeout "$limit" ./netsweep noscan >/dev/null 2>&1) || code=$?
    t=$(( ${EPOCHREALTIME//[!0-9]/} - start ))
    times[$label]+="$t "
    if [ "$code" = 124 ]; then
      status[$label]="arrêté après $limit s"
    elif [ "$code" != 0 ] || [ "$(count "$work/install/liste.ip")" != "$before_ip" ] ||
         [ "$(count "$work/install/liste.ip.discover")" != "$before_discover" ] ||
         [ "$(count "$work/install/liste.appareils")" != $((before_devices + 1)) ]; then
      status[$label]="ÉCHEC (code $code)"
      failures=$((failures + 1))
    else
      status[$label]="listes complètes"
    fi
  done
}

measure "10 000 lignes" 10000 10000 0 0
measure "40 000 lignes" 40000 40000 0 0
measure "100 000 lignes" 100000 100000 0 0
measure "découverte 200 000, à l'envers" 0 0 200000 0
measure "liste.ip de 16 Mio" 0 0 0 $((16 * 1024 * 1024 - 4096))
measure "liste.appareils de 10 000" 0 0 0 0 10000
measure "liste.appareils de 40 000" 0 0 0 0 40000

echo
echo "netsweep noscan sur de grandes listes ; $runs passes, ms"
echo "  listes                              meilleur    médiane   résultat"
for label in "10 000 lignes" "40 000 lignes" "100 000 lignes" "découverte 200 000, à l'envers" \
  "liste.ip de 16 Mio" "liste.appareils de 10 000" "liste.appareils de 40 000"; do
  printf '  %-34s %10s %10s   %s\n' "$label" "$(ms "$(best "${times[$label]}")")" \
    "$(ms "$(median "${times[$label]}")")" "${status[$label]}"
done
((failures == 0)) || { echo "bench : $failures passes n'ont pas laissé des listes complètes" >&2; exit 1; }
