#!/usr/bin/env bash
# Korvane's poll on an office of 32 computers: the wall time of hostping on
# the list of their addresses, side by side with fping on the same list (one
# request per host, 1 s time-out, no retry), once paced as usual (fping's
# 10 ms between requests) and once as a raw flood (-i 0, the practical
# floor), and with the hostping of an earlier build when KORVANE_AVANT names
# its build folder (column "avant"). Scenarios, each in a lab of its own:
#  - every computer awake, then every other one asleep (dropping every
#    frame, ARP included, as a computer that is off);
#  - every other computer behind a firewall that drops pings (and resets a
#    connection to a closed port, as a Linux desktop's);
#  - every computer on a link that loses 30 % of the echo requests.
# Each tool runs RUNS times per scenario (best and median reported, and the
# hosts found, on average); every run of hostping must find exactly the
# running hosts. hostping writes its result where Korvane has it written, in
# the scratch folder, which on a desktop session lies in $XDG_RUNTIME_DIR, a
# tmpfs (here /dev/shm); the row "hostping-disque" writes it on disk
# instead, where the durable replacement (fsync of the file and of its
# folder) adds its cost. A last scenario polls 32 names that no hosts file
# knows through a DNS server that never answers (a UDP socket on the admin's
# loopback that reads nothing): hostping gives up on the names at its 1 s
# deadline instead of the resolver's 10 s per name. Runs as root; brings up
# its own labs of 32 hosts in a private network namespace and takes them
# down.
#   bench/poll_hostping.sh [RUNS]
# KORVANE_BUILD is the build folder to take the programs from (default
# build/); KORVANE_AVANT another build folder, whose bin/hostping is timed
# beside it.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
. "$root/bench/lab-entry.sh"
runs=${1:-5}
[[ $runs =~ ^[1-9][0-9]?$ ]] || { echo "bench : nombre de passes invalide : $runs" >&2; exit 2; }
bench_in_lab bench hostping labhost -- "$runs"

export KORVANE_LAB=krvbench KORVANE_LABHOST=$build/tests/labhost
lab=$root/scripts/lab.sh
work=$(mktemp -d)
scratch=$(mktemp -d -p /dev/shm korvane-bench.XXXXXX)
export KORVANE_LAB_HOSTS=$work/lab-hosts-32.txt
trap '"$lab" down; rm -rf "$work" "$scratch"' EXIT
before=${KORVANE_AVANT:+$KORVANE_AVANT/bin/hostping}
if [ -n "$before" ] && [ ! -x "$before" ]; then
  echo "bench : hostping d'avant introuvable : $before" >&2
  exit 2
fi

# h1..h32 at 198.18.0.101..132, named PC-01..PC-32; the even ones, or all,
# with the options given.
hosts_file() {  # options of the even hosts, options of the odd ones
  for i in $(seq 1 32); do
    local options=$2
    ((i % 2 == 0)) && options=$1
    printf 'h%d  198.18.0.%d  02:4b:52:00:01:%02d  PC-%02d  MAISON  pc-%02d.maison.lan  %s\n' \
      "$i" $((100 + i)) "$i" "$i" "$i" "$options"
  done >"$KORVANE_LAB_HOSTS"
}
hosts_file "" ""
awk '{ print $2 }' "$KORVANE_LAB_HOSTS" >"$work/list"
printf '%s\r\n' $(cat "$work/list") >"$work/list-crlf"  # as Korvane writes it

# One run inside the admin machine, timed there so that entering the
# namespace is not counted: prints the wall time in microseconds (the
# separator of EPOCHREALTIME follows the locale, hence the digits only).
time_run() {  # stdout-file, command...
  "$lab" exec bash -c 'out=$1; shift; start=${EPOCHREALTIME//[!0-9]/}
    "$@" >"$out" 2>/dev/null || true
    echo $(( ${EPOCHREALTIME//[!0-9]/} - start ))' timed "$@"
}

# The addresses a tool reported up, sorted, one a line.
found_hostping() { sed 's/=1\r$//' "$1"; }
found_fping() { cat "$work/stdout"; }

declare -A times wrong found
tools=(hostping hostping-disque)
[ -n "$before" ] && tools+=(avant)
tools+=(fping fping-flood)

run_tool() {  # scenario, tool
  local t
  rm -f "$scratch/out" "$work/out"  # a run that writes nothing must not pass
  case $2 in
    hostping) t=$(time_run "$work/stdout" "$build/bin/hostping" "$work/list-crlf" "$scratch/out") ;;
    hostping-disque) t=$(time_run "$work/stdout" "$build/bin/hostping" "$work/list-crlf" "$work/out") ;;
    avant) t=$(time_run "$work/stdout" "$before" "$work/list-crlf" "$scratch/out") ;;
    fping) t=$(time_run "$work/stdout" fping -a -r 0 -t 1000 -f "$work/list") ;;
    fping-flood) t=$(time_run "$work/stdout" fping -a -r 0 -t 1000 -i 0 -f "$work/list") ;;
  esac
  times[$1,$2]+="$t "
  local up
  case $2 in
    hostping | avant) up=$(found_hostping "$scratch/out" | sort) ;;
    hostping-disque) up=$(found_hostping "$work/out" | sort) ;;
    *) up=$(found_fping | sort) ;;
  esac
  found[$1,$2]=$((${found[$1,$2]:-0} + $(grep -c . <<<"$up" || true)))
  [ "$up" = "$(sort "$work/running")" ] || wrong[$1,$2]=$((${wrong[$1,$2]:-0} + 1))
}

scenario() {  # name
  for _ in $(seq "$runs"); do
    for tool in "${tools[@]}"; do
      run_tool "$1" "$tool"
      sleep 0.2
    done
  done
}

ms() { awk -v us="$1" 'BEGIN { printf "%.1f", us / 1000 }'; }
best() { tr ' ' '\n' <<<"$1" | grep . | sort -n | head -n 1; }
median() { tr ' ' '\n' <<<"$1" | grep . | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
mean_found() { awk -v n="$1" -v r="$runs" 'BEGIN { printf "%.1f", n / r }'; }

"$lab" up
cp "$work/list" "$work/running"
scenario éveillés
for i in $(seq 2 2 32); do "$lab" sleep "h$i"; done
awk 'NR % 2 == 1' "$work/list" >"$work/running"
scenario mi-endormis
"$lab" down

hosts_file noecho ""
"$lab" up
cp "$work/list" "$work/running"
scenario mi-pare-feu
"$lab" down

hosts_file loss=30 loss=30
"$lab" up
cp "$work/list" "$work/running"
scenario pertes
"$lab" down

# The silent DNS server lives in the admin machine; hostping runs there in a
# mount namespace of its own where the resolver asks that server only.
silent_dns() {
  printf 'nameserver 127.0.0.1\n' >"$work/resolv.conf"
  printf 'hosts: files dns\n' >"$work/nsswitch.conf"
  for i in $(seq 1 32); do printf 'inconnu-%02d.maison.lan\r\n' "$i"; done >"$work/names"
  "$lab" exec perl -MSocket -e 'socket(my $s, PF_INET, SOCK_DGRAM, 0) or die "socket: $!";
    bind($s, pack_sockaddr_in(53, inet_aton("127.0.0.1"))) or die "bind: $!"; sleep' &
  local server=$! t status
  sleep 0.3
  for _ in $(seq "$runs"); do
    rm -f "$scratch/out"
    t=$(time_run "$work/stdout" unshare --mount -- sh -c 'mount --bind "$0" /etc/resolv.conf &&
      mount --bind "$1" /etc/nsswitch.conf && exec "$2" "$3" "$4"' \
      "$work/resolv.conf" "$work/nsswitch.conf" "$build/bin/hostping" "$work/names" "$scratch/out")
    times[dns-muet,hostping]+="$t "
    # Every run must end with a result, empty: no name is known.
    status=$( [ -f "$scratch/out" ] && [ ! -s "$scratch/out" ] && echo ok || echo faux)
    [ "$status" = ok ] || wrong[dns-muet,hostping]=$((${wrong[dns-muet,hostping]:-0} + 1))
  done
  kill "$server" 2>/dev/null || true
}
hosts_file "" ""
"$lab" up
silent_dns

printf '\n32 hôtes, %d passes par outil et par scénario ; temps écoulé en ms ; hôtes trouvés en moyenne\n' "$runs"
declare -A titles=([éveillés]="Tous éveillés" [mi-endormis]="Un sur deux endormi"
  [mi-pare-feu]="Un sur deux derrière un pare-feu qui jette le ping (32 allumés)"
  [pertes]="Tous derrière un lien qui perd 30 % des demandes d'écho (32 allumés)")
for s in éveillés mi-endormis mi-pare-feu pertes; do
  echo
  echo "${titles[$s]} :"
  echo "  outil             meilleur   médiane   trouvés   passes fausses"
  for tool in "${tools[@]}"; do
    printf '  %-16s %9s %9s %9s %9s\n' "$tool" "$(ms "$(best "${times[$s,$tool]}")")" \
      "$(ms "$(median "${times[$s,$tool]}")")" "$(mean_found "${found[$s,$tool]}")/32" \
      "${wrong[$s,$tool]:-0}"
  done
done

echo
echo "32 noms inconnus, serveur DNS muet :"
echo "  outil             meilleur   médiane   passes fausses"
printf '  %-16s %9s %9s %9s\n' hostping "$(ms "$(best "${times[dns-muet,hostping]}")")" \
  "$(ms "$(median "${times[dns-muet,hostping]}")")" "${wrong[dns-muet,hostping]:-0}"

# The goals: all awake in under 50 ms and within twice the flood; with
# sleepers, bounded by the 1 s time-out (plus start-up) and within a few tens
# of milliseconds of the earlier hostping; with a silent DNS, the resolving
# deadline plus the time-out, under 2 s.
awake=$(median "${times[éveillés,hostping]}")
flood=$(median "${times[éveillés,fping-flood]}")
asleep=$(median "${times[mi-endormis,hostping]}")
verdict() { if "$@"; then echo "atteint"; else echo "MANQUÉ"; fi; }
echo
echo "tous éveillés < 50 ms : $(verdict test "$awake" -lt 50000)"
echo "tous éveillés ≤ 2 × flood : $(verdict test "$awake" -le $((2 * flood)))"
echo "moitié endormis ≤ 1 s + 100 ms : $(verdict test "$asleep" -le 1100000)"
if [ -n "$before" ]; then
  earlier=$(median "${times[mi-endormis,avant]}")
  echo "moitié endormis ≤ avant + 50 ms : $(verdict test "$asleep" -le $((earlier + 50000)))"
fi
silent=$(median "${times[dns-muet,hostping]}")
echo "DNS muet < 2 s : $(verdict test "$silent" -lt 2000000)"
errors=0
for key in "${!wrong[@]}"; do
  [[ $key == *,hostping || $key == *,hostping-disque ]] && errors=$((errors + wrong[$key]))
done
((errors == 0)) || { echo "bench : $errors passes de hostping n'ont pas trouvé les bons hôtes" >&2; exit 1; }
