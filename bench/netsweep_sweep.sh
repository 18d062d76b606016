#!/usr/bin/env bash
# netsweep side by side with nmap and fping, in simulated LANs:
#  1. the lab's /24 (tests/lab/netsweep-hosts.txt: the gateway, the admin
#     machine and 6 hosts answer, one of them only by ARP: its firewall
#     drops pings): netsweep's whole run (sweep, names, cache, ARP, lists)
#     against `nmap -sn -n`, and its sweep alone against `fping -r 0 -t 10`
#     (paced, 10 ms between requests) and the same with `-i 0` (a raw flood,
#     the practical floor);
#  2. a loopback /22 in a private namespace, where every address answers:
#     the sweep against `fping -i 0` on the same 1016 addresses;
#  3. a /20 LAN with 20 hosts spread over it, the last ones at its end, four
#     of them dropping pings: the sweep against `nmap -sn -n` and `fping -i 5`
#     (the flood loses hosts there; fping cannot see those that drop pings).
#     The sweep runs twice: as root, where it may ask ARP first from a packet
#     socket, and as an ordinary user, where its echo requests wait for room
#     in the kernel's neighbour table.
# Each tool runs RUNS times (3 at most on the /20; best and median wall time,
# timed inside the namespace); the neighbour table is emptied before each
# run, so every run starts as a scheduled netsweep does, with nothing
# resolved. Every run of netsweep must find exactly the live hosts (the
# other tools' misses are counted and shown). Runs as root; brings up its own
# labs in a private network namespace and takes them down.
#   bench/netsweep_sweep.sh [RUNS]
# KORVANE_BUILD is the build folder to take the programs from (default
# build/); KORVANE_AVANT another build folder, whose netsweep and sweep_bench
# are timed beside them (rows "avant : ...").
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
. "$root/bench/lab-entry.sh"
runs=${1:-5}
[[ $runs =~ ^[1-9][0-9]?$ ]] || { echo "bench : nombre de passes invalide : $runs" >&2; exit 2; }
bench_in_lab bench netsweep netcmd sweep_bench labhost -- "$runs"
ip link set lo up

export KORVANE_LABHOST=$build/tests/labhost
lab=$root/scripts/lab.sh
work=$(mktemp -d)
trap 'KORVANE_LAB=krvsweep "$lab" down; KORVANE_LAB=krvsweep20 "$lab" down; rm -rf "$work"' EXIT
sweep=$build/bench/sweep_bench
before=${KORVANE_AVANT:-}
if [ -n "$before" ] && [ ! -x "$before/bench/sweep_bench" ]; then
  echo "bench : sweep_bench d'avant introuvable : $before/bench/sweep_bench" >&2
  exit 2
fi

# One run, timed where it runs (in the admin machine, or here with
# "local"), so that entering the namespace is not counted: prints the wall
# time in microseconds.
time_run() {  # where (lab|local), stdout-file, command...
  local where=$1; shift
  local timed=(bash -c 'out=$1; shift; start=${EPOCHREALTIME//[!0-9]/}
    "$@" >"$out" 2>/dev/null || true
    echo $(( ${EPOCHREALTIME//[!0-9]/} - start ))' timed "$@")
  if [ "$where" = lab ]; then "$lab" exec "${timed[@]}"; else "${timed[@]}"; fi
}

declare -A times found wrong
ms() { awk -v us="$1" 'BEGIN { printf "%.1f", us / 1000 }'; }
best() { tr ' ' '\n' <<<"$1" | grep . | sort -n | head -n 1; }
median() { tr ' ' '\n' <<<"$1" | grep . | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# The hosts a run reported up, sorted, one a line.
hosts_of() {  # tool, stdout-file
  case $1 in
    netsweep | "avant : netsweep") tr -d '\r' <"$work/install/ipactive" ;;
    nmap*) awk '/^Nmap scan report for/ { print $NF }' "$2" | tr -d '()' ;;
    *) cat "$2" ;;
  esac | sort
}

# Before a run: nothing resolved; for netsweep, the lists of a first run.
prepare() {  # tool
  "$lab" exec ip neigh flush all 2>/dev/null || true
  case $1 in
    netsweep) cp "$build/bin/netsweep" "$work/install/" ;;
    "avant : netsweep") cp "$before/bin/netsweep" "$work/install/" ;;
    *) return 0 ;;
  esac
  rm -rf "$work/install/scratch" "$work/install/ipactive" "$work/install"/liste.*
  : >"$work/install/liste.ip"
  : >"$work/install/liste.mac"
}

measure() {  # part, tool, where, expected-file, command...
  local part=$1 tool=$2 where=$3 expected=$4 t up
  shift 4
  for _ in $(seq "$runs"); do
    [ "$where" = lab ] && prepare "$tool"
    t=$(KORVANE_SCRATCH=$work/install/scratch time_run "$where" "$work/stdout" "$@")
    times[$part,$tool]+="$t "
    up=$(hosts_of "$tool" "$work/stdout")
    found[$part,$tool]=$(grep -c . <<<"$up" || true)
    [ "$up" = "$(sort "$expected")" ] || wrong[$part,$tool]=$((${wrong[$part,$tool]:-0} + 1))
    sleep 0.3
  done
}

report() {  # part, title, hosts expected, tools...
  local part=$1 title=$2 count=$3 tool
  shift 3
  echo
  echo "$title ; $runs passes, temps écoulé en ms"
  echo "  outil                        meilleur    médiane   trouvés   erreurs"
  for tool in "$@"; do
    printf '  %-26s %10s %10s %9s %9s\n' "$tool" "$(ms "$(best "${times[$part,$tool]}")")" \
      "$(ms "$(median "${times[$part,$tool]}")")" "${found[$part,$tool]}/$count" \
      "${wrong[$part,$tool]:-0}"
  done
}
verdict() { if "$@"; then echo "atteint"; else echo "MANQUÉ"; fi; }
med() { median "${times[$1]}"; }

# --- 1. the lab's /24 -----------------------------------------------------
export KORVANE_LAB=krvsweep KORVANE_LAB_HOSTS=$root/tests/lab/netsweep-hosts.txt
"$lab" up
mkdir -p "$work/install"
cp "$build/bin/netsweep" "$build/bin/netcmd" "$work/install/"
{ echo 198.18.0.1; echo 198.18.0.2; awk '!/^#/ && NF >= 6 { print $2 }' "$KORVANE_LAB_HOSTS"; } \
  >"$work/live24"
measure 24 netsweep lab "$work/live24" env -C "$work/install" ./netsweep
measure 24 "nmap -sn -n" lab "$work/live24" nmap -sn -n 198.18.0.0/24
measure 24 "balayage de netsweep" lab "$work/live24" "$sweep" 198.18.0.0 198.18.0.255
if [ -n "$before" ]; then
  measure 24 "avant : netsweep" lab "$work/live24" env -C "$work/install" ./netsweep
  measure 24 "avant : balayage" lab "$work/live24" "$before/bench/sweep_bench" 198.18.0.0 198.18.0.255
fi
measure 24 "fping -r 0 -t 10" lab "$work/live24" fping -a -q -g 198.18.0.0/24 -r 0 -t 10
measure 24 "fping -r 0 -t 10 -i 0" lab "$work/live24" fping -a -q -g 198.18.0.0/24 -r 0 -t 10 -i 0
"$lab" down

# --- 2. a loopback /22 in this private namespace --------------------------
for t in 0 1 2 3; do for h in $(seq 1 254); do echo "127.0.$t.$h"; done; done >"$work/live22"
measure 22 "balayage de netsweep" local "$work/live22" "$sweep" 127.0.0.0 127.0.3.255
measure 22 "fping -r 0 -t 10 -i 0" local "$work/live22" fping -a -q -r 0 -t 10 -i 0 -f "$work/live22"

# --- 3. a /20 LAN, 20 hosts spread over it ---------------------------------
export KORVANE_LAB=krvsweep20 KORVANE_LAB_PREFIXLEN=20 KORVANE_LAB_HOSTS=$work/hosts20
for i in $(seq 1 20); do
  third=$(( (i - 1) * 15 / 19 )) host=$(( 10 + (i * 37) % 240 )) options=
  ((i % 5 == 0)) && options=noecho
  printf 'h%d  198.18.%d.%d  02:4b:52:00:02:%02x  -  -  -  %s\n' "$i" "$third" "$host" "$i" \
    "$options"
done >"$KORVANE_LAB_HOSTS"
"$lab" up
{ echo 198.18.0.1; echo 198.18.0.2; awk '{ print $2 }' "$KORVANE_LAB_HOSTS"; } >"$work/live20"
for t in $(seq 0 15); do for h in $(seq 1 254); do echo "198.18.$t.$h"; done; done >"$work/range20"
runs20=$(( runs < 3 ? runs : 3 )) runs_all=$runs runs=$runs20
measure 20 "balayage de netsweep" lab "$work/live20" "$sweep" 198.18.0.0 198.18.15.255
measure 20 "balayage, sans droit raw" lab "$work/live20" \
  setpriv --reuid=nobody --regid=nogroup --clear-groups "$sweep" 198.18.0.0 198.18.15.255
measure 20 "nmap -sn -n" lab "$work/live20" nmap -sn -n 198.18.0.0/20
measure 20 "fping -r 0 -t 10 -i 5" lab "$work/live20" fping -a -q -r 0 -t 10 -i 5 -f "$work/range20"
if [ -n "$before" ]; then
  measure 20 "avant : balayage" lab "$work/live20" "$before/bench/sweep_bench" 198.18.0.0 198.18.15.255
fi
runs=$runs_all

avant24=() avant20=()
[ -n "$before" ] && avant24=("avant : netsweep" "avant : balayage") avant20=("avant : balayage")
report 24 "/24 du laboratoire (passerelle, poste, 6 hôtes dont 1 sans ping)" 8 netsweep \
  "nmap -sn -n" "balayage de netsweep" "${avant24[@]}" "fping -r 0 -t 10" "fping -r 0 -t 10 -i 0"
report 22 "/22 de bouclage (1016 adresses, toutes répondent)" 1016 "balayage de netsweep" \
  "fping -r 0 -t 10 -i 0"
runs=$runs20
report 20 "/20 (4064 adresses, 22 répondent, dont 4 sans ping)" 22 "balayage de netsweep" \
  "balayage, sans droit raw" "nmap -sn -n" "${avant20[@]}" "fping -r 0 -t 10 -i 5"

echo
echo "netsweep entier < nmap -sn (/24) : $(verdict test "$(med '24,netsweep')" -lt "$(med '24,nmap -sn -n')")"
echo "balayage ≤ 2 × fping -i 0 (/24) : $(verdict test "$(med '24,balayage de netsweep')" -le \
  $((2 * $(med '24,fping -r 0 -t 10 -i 0'))))"
echo "balayage ≤ 2 × fping -i 0 (/22) : $(verdict test "$(med '22,balayage de netsweep')" -le \
  $((2 * $(med '22,fping -r 0 -t 10 -i 0'))))"
echo "balayage ≤ 1,5 × nmap -sn (/20) : $(verdict test "$(med '20,balayage de netsweep')" -le \
  $((3 * $(med '20,nmap -sn -n') / 2)))"
echo "balayage < nmap -sn (/20) : $(verdict test "$(med '20,balayage de netsweep')" -lt \
  "$(med '20,nmap -sn -n')")"
errors=0
for key in "${!wrong[@]}"; do
  [[ $key == *avant* ]] && continue
  [[ $key == *netsweep* || $key == *balayage* ]] && errors=$((errors + wrong[$key]))
done
((errors == 0)) || { echo "bench : $errors passes de netsweep n'ont pas trouvé les bons hôtes" >&2; exit 1; }
