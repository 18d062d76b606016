#!/usr/bin/env bash
# Korvane left running in the lab for an hour, shortened: KORVANE_TIME_SCALE
# divides every timer interval (SCALE 20: the hour lasts 3 minutes, a poll
# starts every 500 ms). Meanwhile the lab's hosts go to sleep and wake up in
# turn, and every 2.5 simulated minutes this samples Korvane's timers (the
# line it prints at each 10-second tick when the time is scaled), its open
# files, the processes it started that are still running, its zombies, its
# memory (RSS) and the scratch folder (the markers, one per slot used, and
# every other entry). At the end it checks that these stayed flat (the last
# quarter no higher than the second; markers 256 at most), that the map's state file
# follows the hosts, and, after SIGTERM, that the scratch folder holds no
# slot file nor temporary beyond the markers of scripts still running.
# On demand, not in CI; runs as root, in a lab of its own.
#   bench/soak.sh [SCALE]
# KORVANE_BUILD is the build folder to take the programs from (default build/).
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
. "$root/bench/lab-entry.sh"
scale=${1:-20}
[[ $scale =~ ^[1-9][0-9]{0,3}$ ]] && ((scale >= 2 && scale <= 3600)) ||
  { echo "soak : facteur de temps invalide : $scale (2 à 3600)" >&2; exit 2; }
bench_in_lab soak korvane hostping netcmd labhost korvane_assets -- "$scale"

export KORVANE_LAB=krvsoak KORVANE_LABHOST=$build/tests/labhost
lab=$root/scripts/lab.sh
work=$(mktemp -d)
prog=$work/prog
scratch=$work/scratch
korvane_pid=
cleanup() {
  [ -n "$korvane_pid" ] && kill "$korvane_pid" 2>/dev/null || true
  "$lab" down
  rm -rf "$work"
}
trap cleanup EXIT

"$lab" up
mkdir -p "$prog"
cp -f "$build"/bin/* "$prog"/
crlf() { sed 's/$/\r/'; }
hosts() { grep -v '^\s*#' "$root/scripts/lab-hosts.txt" | awk 'NF >= 6'; }
hosts | awk '{ print tolower($4) }' | crlf >"$prog/localGM"
{ echo "passerelle 198.18.0.1"; hosts | awk '{ print tolower($4), $2 }'; } | crlf >"$prog/liste.ip"
hosts | awk '{ m = toupper($3); gsub(":", "-", m); print tolower($4), m }' | crlf >"$prog/liste.mac"
mapfile -t ids < <(hosts | awk '{ print $1 }')

KORVANE_TIME_SCALE=$scale KORVANE_SCRATCH=$scratch QT_QPA_PLATFORM=offscreen \
  XDG_RUNTIME_DIR=$work "$lab" exec "$prog/korvane" 2>"$work/stderr" &
launcher=$!
for _ in $(seq 100); do
  korvane_pid=$(pgrep -P "$launcher" -x korvane || true)
  [ -n "$korvane_pid" ] && break
  sleep 0.1
done
[ -n "$korvane_pid" ] || { echo "soak : korvane ne démarre pas" >&2; exit 1; }

# Simulated seconds to real ones.
real() { awk -v s="$1" -v k="$scale" 'BEGIN { printf "%.3f", s / k }'; }
admin_pids() { ip netns pids "$KORVANE_LAB-admin"; }
# Processes of the admin machine other than Korvane: its scripts, hostping,
# netcmd; all started by it (nothing else runs there).
children() { admin_pids | grep -vx "$korvane_pid" | grep -c . || true; }
zombies() {
  local n=0 pid
  for pid in $(admin_pids); do
    [ "$(awk '/^State:/ { print $2 }' "/proc/$pid/status" 2>/dev/null)" = Z ] && n=$((n + 1))
  done
  echo "$n"
}
timers() { grep -o '[0-9]* minuteurs' "$work/stderr" | tail -n 1 | cut -d' ' -f1; }
# The scratch folder: one marker per slot used so far (they stay while Korvane
# runs, 256 at most), and every other entry.
markers() { find "$scratch" -mindepth 1 -name '*.mark' | wc -l; }
others() { find "$scratch" -mindepth 1 ! -name '*.mark' | wc -l; }
leftovers() { find "$scratch" -mindepth 1 -name '*.tmp-*' | wc -l; }

samples=24  # one every 150 simulated seconds
printf 'soak : facteur %d, une heure simulée en %s s\n' "$scale" "$(real 3600)"
printf '%5s %9s %8s %9s %7s %9s %9s %7s %11s\n' min minuteurs fichiers processus zombies \
  "RSS (Ko)" marqueurs autres temporaires
declare -a col_timers col_fds col_children col_rss col_markers col_others
for i in $(seq 1 "$samples"); do
  sleep "$(real 150)"
  host=${ids[$(((i - 1) % ${#ids[@]}))]}
  if [ "$("$lab" asleep "$host")" = 1 ]; then "$lab" wake "$host"; else "$lab" sleep "$host"; fi
  [ -d "/proc/$korvane_pid" ] || { echo "soak : korvane s'est arrêté" >&2; exit 1; }
  col_timers[i]=$(timers)
  col_fds[i]=$(ls "/proc/$korvane_pid/fd" | wc -l)
  col_children[i]=$(children)
  col_rss[i]=$(awk '/^VmRSS:/ { print $2 }' "/proc/$korvane_pid/status")
  col_markers[i]=$(markers)
  col_others[i]=$(others)
  printf '%5s %9s %8s %9s %7s %9s %9s %7s %11s\n' $((i * 150 / 60)) "${col_timers[i]:-?}" \
    "${col_fds[i]}" "${col_children[i]}" "$(zombies)" "${col_rss[i]}" "${col_markers[i]}" \
    "${col_others[i]}" "$(leftovers)"
done

# Every host awake: after two polls the state file lists the four of them.
for id in "${ids[@]}"; do "$lab" wake "$id"; done
sleep "$(real 30)"
sleep 1.5  # a poll's own time-out is not scaled
awake=$(grep -c '=1' "$prog/etats" || true)

kill -TERM "$korvane_pid"
for _ in $(seq 100); do [ -d "/proc/$korvane_pid" ] || break; sleep 0.1; done
[ -d "/proc/$korvane_pid" ] && { echo "soak : korvane ne s'arrête pas" >&2; exit 1; }
korvane_pid=
# Left after the exit: slot files other than read-only markers (of scripts
# still running), and temporaries.
left=$(find "$scratch" -mindepth 1 \( -name '*.tmp-*' -o -name 'ping*' -o \( -name '*.mark' -perm -u+w \) \) | wc -l)

# Flat: a leak grows with the polls, so the second quarter (start-up and the
# first slots done) and the last one are compared, by their means; what
# varies from one sample to the next (polls under way when the sample is
# taken) stays within the tolerance.
peak() { local m=0 v; for v in "$@"; do ((v > m)) && m=$v; done; echo "$m"; }
mean() { printf '%s\n' "$@" | awk '{ s += $1 } END { printf "%.1f", s / NR }'; }
quarter=$((samples / 4))
flat() {  # name, tolerance percent, tolerance in units, values...
  local name=$1 percent=$2 units=$3; shift 3
  local second last verdict=stable
  second=$(mean "${@:$((quarter + 1)):$quarter}")
  last=$(mean "${@:$((3 * quarter + 1))}")
  if ! awk -v a="$second" -v b="$last" -v p="$percent" -v u="$units" \
    'BEGIN { exit !(b <= a * (1 + p / 100) + u) }'; then
    verdict=CROÎT
    failures=$((failures + 1))
  fi
  printf '  %-12s de %s à %s (moyennes du 2e et du 4e quart), extrêmes %s–%s : %s\n' "$name" \
    "$second" "$last" "$(printf '%s\n' "$@" | sort -n | head -n 1)" "$(peak "$@")" "$verdict"
}
failures=0
echo
flat minuteurs 25 2 "${col_timers[@]}"
flat fichiers 25 2 "${col_fds[@]}"
flat processus 25 2 "${col_children[@]}"
flat "RSS (Ko)" 5 0 "${col_rss[@]}"
flat "autres" 25 2 "${col_others[@]}"
max_markers=$(peak "${col_markers[@]}")
echo "  marqueurs    au plus $max_markers (un par créneau, 256 créneaux)"
((max_markers <= 256)) || failures=$((failures + 1))
echo "  état final : $awake hôtes sur ${#ids[@]} vus éveillés"
echo "  après SIGTERM : $left fichier(s) de créneau ou temporaire(s) restant(s)"
((awake == ${#ids[@]})) || failures=$((failures + 1))
((left == 0)) || failures=$((failures + 1))
((failures == 0)) || { echo "soak : $failures vérification(s) en échec" >&2; exit 1; }
