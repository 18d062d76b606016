#!/usr/bin/env bash
# Korvane's page in a real browser, in the lab: a real "korvane
# --planificateur" of a program folder of its own serves it, its access
# turned on with a password by "korvane --acces-web"; headless Chromium
# runs on PC-SALON (h1), as a phone of the LAN would, and drives the page
# (web_browser_test.py): the map, ON waking the sleeping SERVEUR-NAS (h4)
# through its responder, OFF putting PC-BUREAU (h2) down through its smbd,
# the follow-up's verdict, a "réveil seulement" token made on the page, whose
# user has no OFF. Run by
# run-in-lab.sh in the lab's admin namespace; skipped when the browser is
# missing.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
lab=${KORVANE_LAB_SCRIPT:?}
bin=${KORVANE_BIN_DIR:?}
captures=${KORVANE_CAPTURES:-$KORVANE_SCRATCH}
for need in /usr/bin/chromium /usr/bin/chromedriver; do
  [ -x "$need" ] || { echo "ignoré : $need absent (scripts/bootstrap.sh installe chromium chromium-driver)"; exit 77; }
done
/usr/bin/python3 -c 'import selenium' 2>/dev/null ||
  { echo "ignoré : selenium absent de /usr/bin/python3 (paquet python3-selenium)"; exit 77; }

folder=$KORVANE_SCRATCH/programme
mkdir -p "$folder" "$captures"
for program in korvane hostping wolcmd netcmd; do cp "$bin$program" "$folder/"; done
# The entries are the lab's hosts, under their NetBIOS names in lower case.
: >"$folder/localGM"; : >"$folder/liste.ip"; : >"$folder/liste.mac"
while read -r id address mac name _ reverse _; do
  [[ $id =~ ^h[0-9]+$ ]] || continue
  entry=${name,,}
  member=$address
  [ "$reverse" = - ] || member=${reverse%%.*}
  printf '%s\r\n' "$entry" >>"$folder/localGM"
  printf '%s %s\r\n' "$entry" "$address" >>"$folder/liste.ip"
  printf '%s %s\r\n' "$name" "$mac" >>"$folder/liste.mac"
  printf '%s\r\n' "$member" >"$folder/$entry"
done <"$here/../../scripts/lab-hosts.txt"
printf 'username = root\npassword = labo-korvane\n' >"$folder/shutdown.auth"
chmod 600 "$folder/shutdown.auth"
password=essai-du-navigateur
# As a user turns it on: "korvane --acces-web", the password given twice.
printf '%s\n%s\n' "$password" "$password" | (cd "$folder" && ./korvane --acces-web) ||
  { echo "ÉCHEC : korvane --acces-web"; exit 1; }

"$lab" samba h2 sleep
"$lab" sleep h4
calls=$("$lab" shutdowns h2 | wc -l)

pids=()
finish() {
  for pid in "${pids[@]}"; do kill -- "-$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
}
trap finish EXIT
# Its timers ten times shorter: a poll each second, the follow-up 30 s after.
(cd "$folder" && exec setsid env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM \
  KORVANE_TIME_SCALE=10 ./korvane --planificateur 2>"$folder/journal.txt") &
pids+=($!)
url=https://198.18.0.2:8765/
for _ in $(seq 100); do
  curl -sk -o /dev/null "$url" && break
  sleep 0.1
done
grep -q "page servie" "$folder/journal.txt" ||
  { echo "ÉCHEC : la page n'est pas servie"; cat "$folder/journal.txt"; exit 1; }

status=0
HOME=$KORVANE_SCRATCH setsid ip netns exec "$KORVANE_LAB-h1" /usr/bin/python3 \
  "$here/web_browser_test.py" "$url" "$password" serveur-nas pc-bureau "$captures" &
browser=$!
pids+=("$browser")
wait "$browser" || status=$?

fail() { echo "ÉCHEC : $*"; status=1; }
[ "$("$lab" asleep h4)" = 0 ] || fail "h4 dort encore"
[ "$("$lab" asleep h2)" = 1 ] || fail "h2 ne s'est pas arrêté"
[ "$("$lab" shutdowns h2 | wc -l)" = $((calls + 1)) ] || fail "smbd de h2 : pas un seul arrêt"
for shot in page-telephone-390x844 page-bureau-1280x800; do
  [ -s "$captures/$shot.png" ] || fail "capture $shot absente"
done
if [ "$status" != 0 ]; then
  echo "--- journal de korvane --planificateur"
  cat "$folder/journal.txt"
fi
exit "$status"
