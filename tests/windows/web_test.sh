#!/usr/bin/env bash
# "korvane.exe --planificateur" under Wine serves the page and the API to a
# client of the LAN: curl on PC-SALON (h1) of a lab of its own, PORTABLE-ANNE
# (h3) asleep. The access is on with a password and a "réveil seulement"
# token; Windows serves HTTP only (no TLS library for the cross build), so an
# HTTPS request finds no TLS. The client logs in (session and CSRF), reads
# the map, and the token's user sees only its entry and may not turn it off.
# Called by run.sh (already in a private network and mount namespace, the
# Wine prefix made, the stand-ins of the Windows commands in its system
# folder).
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${KORVANE_WIN_BUILD:?}
wine=${KORVANE_WINE:?}
lab=$root/scripts/lab.sh

if [ "${1:-}" != --dans-le-labo ]; then
  export KORVANE_LAB=kweb$$
  export KORVANE_LABHOST=${KORVANE_LABHOST:-$root/build/tests/labhost}
  cleanup() {
    "$lab" exec /usr/lib/wine/wineserver -k >/dev/null 2>&1 || true
    "$lab" down >/dev/null 2>&1 || true
  }
  trap cleanup EXIT
  . "$root/scripts/lab-lock.sh"  # the kernel's neighbour table, shared with every lab
  lab_hold_neighbours shared
  "$lab" up >/dev/null
  "$lab" sleep h3
  "$lab" exec bash "${BASH_SOURCE[0]}" --dans-le-labo
  exit
fi

# --- inside the lab's admin namespace ---------------------------------------
folder=$WINEPREFIX/drive_c/korvane-web
status=0
check() {  # what, expected, actual
  if [ "$2" = "$3" ]; then echo "ok   $1"; else
    echo "ÉCHEC $1 : attendu « $2 », obtenu « $3 »"; status=1; fi
}
on_h1() { ip netns exec "$KORVANE_LAB-h1" "$@"; }
json() { /usr/bin/python3 -c "import json, sys; d = json.load(sys.stdin); print($1)"; }

mkdir -p "$folder"
cp "$build"/bin/*.exe "$folder/"
printf 'pc-salon\r\nportable-anne\r\n' >"$folder/localGM"
printf 'pc-salon 198.18.0.11\r\nportable-anne 198.18.0.13\r\n' >"$folder/liste.ip"
printf 'PC-SALON 02-4B-52-00-00-11\r\nPORTABLE-ANNE 02-4B-52-00-00-13\r\n' >"$folder/liste.mac"
printf '198.18.0.11\r\n' >"$folder/pc-salon"
printf '198.18.0.13\r\n' >"$folder/portable-anne"
password=essai-sous-wine
token=$(/usr/bin/python3 "$root/tests/lab/web_access.py" "$folder" "$password" reveil:portable-anne |
  awk '{ print $2 }')

echo "== korvane.exe --planificateur sert la page (Wine, laboratoire)"
"$wine" 'c:\korvane-web\korvane.exe' --planificateur >/dev/null 2>&1 &
korvane=$!
finish() {
  "$wine" wineboot --end-session >/dev/null 2>&1 || true
  for _ in $(seq 100); do kill -0 "$korvane" 2>/dev/null || break; sleep 0.2; done
}
trap finish EXIT
url=http://198.18.0.2:8765
page=
for _ in $(seq 120); do
  page=$(on_h1 curl -s --max-time 2 "$url/" || true)
  [ -n "$page" ] && break
  sleep 0.5
done
check "la page est servie en HTTP" 1 "$(grep -c '<script src="/app.js"' <<<"$page" || true)"
check "pas de HTTPS sous Windows" échec \
  "$(on_h1 curl -sk --max-time 3 -o /dev/null "https://198.18.0.2:8765/" && echo réussi || echo échec)"

jar=$(mktemp)
session=$(on_h1 curl -s -c "$jar" -H 'Content-Type: application/json' \
  -d "{\"mot_de_passe\": \"$password\"}" "$url/api/session")
check "connexion par mot de passe" admin "$(json 'd["role"]' <<<"$session")"
# A poll or two, so that the map holds the hosts' states.
etat=
for _ in $(seq 30); do
  etat=$(on_h1 curl -s -b "$jar" "$url/api/etat")
  [ "$(json 'd["releve"] is not None' <<<"$etat")" = True ] && break
  sleep 1
done
check "la carte par la session" "pc-salon True portable-anne False" \
  "$(json '" ".join(e["nom"] + " " + str(e["allumee"]) for e in d["entrees"])' <<<"$etat")"
etat=$(on_h1 curl -s -H "Authorization: Bearer $token" "$url/api/etat")
check "le jeton « réveil seulement » ne voit que son entrée" portable-anne \
  "$(json '" ".join(e["nom"] for e in d["entrees"])' <<<"$etat")"
check "ni OFF pour lui" 403 "$(on_h1 curl -s -o /dev/null -w '%{http_code}' -X POST \
  -H "Authorization: Bearer $token" "$url/api/entrees/portable-anne/off")"
rm -f "$jar"

finish
trap - EXIT
check "la fin de la session termine le planificateur" fini \
  "$(kill -0 "$korvane" 2>/dev/null && echo "en marche" || echo fini)"
exit "$status"
