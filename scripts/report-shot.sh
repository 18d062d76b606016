#!/usr/bin/env bash
# Takes the user guide's picture of the energy report (docs/consommation.png):
# Korvane's real window, offscreen, from a copy of the build's installation
# folder holding a week of history of a small office, in a network namespace
# of its own with loopback only (Korvane's polls and netsweep reach nobody).
# Run as root after a build.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bin=$root/build/bin
[ -x "$bin/korvane" ] || { echo "report-shot : construisez d'abord (scripts/test.sh)." >&2; exit 1; }
work=$(mktemp -d /tmp/korvane-shot-XXXXXX)
trap 'rm -rf "$work"' EXIT
cp -a "$bin/." "$work/"
rm -f "$work"/historique.etats* "$work"/puissances.ini "$work"/liste.planning
mkdir -m 700 "$work/scratch"

printf '%s\r\n' pc-accueil pc-compta pc-direction serveur-nas >"$work/localGM"
printf '%s\r\n' 'pc-accueil 198.18.0.11' 'pc-compta 198.18.0.12' \
  'pc-direction 198.18.0.13' 'serveur-nas 198.18.0.14' >"$work/liste.ip"
printf '%s\r\n' 'serveur-nas=35' 'pc-direction=90' >"$work/puissances.ini"
printf '%s\r\n' 'height=380' >"$work/krv.ini"

# A week: the office computers on during working days (the direction's late,
# the accounts' also on Saturday morning), the NAS always on.
line() { printf '%sT%s:00Z;%s;%s\n' "$1" "$2" "$3" "$4"; }
{
  first=$(date -u -d 'today - 6 days' +%F)
  line "$first" 00:00 '*' '?'
  line "$first" 00:00 serveur-nas 1
  for back in 6 5 4 3 2 1 0; do
    day=$(date -u -d "today - $back days" +%F)
    weekday=$(date -u -d "$day" +%u)
    if [ "$weekday" -le 5 ]; then
      line "$day" 07:55 pc-accueil 1;   line "$day" 12:10 pc-accueil 0
      line "$day" 13:30 pc-accueil 1;   line "$day" 18:05 pc-accueil 0
      line "$day" 08:20 pc-compta 1;    line "$day" 17:40 pc-compta 0
      line "$day" 09:10 pc-direction 1; line "$day" 20:45 pc-direction 0
    elif [ "$weekday" -eq 6 ]; then
      line "$day" 09:00 pc-compta 1;    line "$day" 12:30 pc-compta 0
    fi
  done
} | awk -v now="$(date -u +%FT%H:%M:00Z)" '$0 <= now' >"$work/historique.etats"

out=$root/docs/consommation.png
mkdir -p "$root/docs"
unshare --net -- sh -c 'ip link set lo up && exec "$@"' sh \
  env TZ=UTC QT_QPA_PLATFORM=offscreen KORVANE_SCRATCH="$work/scratch" \
  KORVANE_SCREENSHOT="$out" KORVANE_SCREENSHOT_REPORT=1 KORVANE_SCREENSHOT_DELAY=2 \
  "$work/korvane"
[ -s "$out" ] || { echo "report-shot : la capture n'a pas été enregistrée." >&2; exit 1; }
echo "Capture du rapport enregistrée : $out"
