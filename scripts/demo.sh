#!/usr/bin/env bash
# Builds everything and runs Korvane on the admin machine of the simulated LAN,
# with an inventory of the lab's hosts (one of them asleep, to show both
# pictures). PC-BUREAU runs Samba, so "OFF" shuts it down for real, and every
# host answers magic packets, so "ON" wakes the sleeping one. With a display
# the window opens there, until "Quitter"; without one Korvane runs under Xvfb
# and a screenshot is saved. Runs as root; nothing leaves the lab.
#
#   scripts/demo.sh          the map, SERVEUR-NAS asleep
#   scripts/demo.sh --wake   the same, and 5 s after start the demo presses
#                            SERVEUR-NAS's button and "ON", as a user would
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
. "$root/scripts/netns-guard.sh"

in_lab=0 wake=0
for arg in "$@"; do
  case $arg in
    --in-lab) in_lab=1 ;;
    --wake) wake=1 ;;
    *) echo "usage : demo.sh [--wake]" >&2; exit 2 ;;
  esac
done

if ((!in_lab)); then
  bash "$root/scripts/bootstrap.sh"
  cmake -S "$root" -B "$root/build" -G Ninja >/dev/null
  cmake --build "$root/build" -j2 >/dev/null
  exec unshare --net -- bash "$0" --in-lab "$@"
fi
in_private_netns || { echo "demo : espace de noms réseau non privé, arrêt." >&2; exit 1; }

export KORVANE_LAB=${KORVANE_LAB:-krvdemo}
lab=$root/scripts/lab.sh
# Korvane writes its files beside itself: the demo runs a copy of the
# installation folder, kept between runs so its settings are too.
demo=$root/build/demo
scratch=$(mktemp -d)
trap '"$lab" down; rm -rf "$scratch"' EXIT
"$lab" up
mkdir -p "$demo"
cp -f "$root"/build/bin/* "$demo"/
export KORVANE_SCRATCH=$scratch/scratch

# The inventory: every lab host, known to the discovery lists by name.
crlf() { sed 's/$/\r/'; }
hosts() { grep -v '^\s*#' "$root/scripts/lab-hosts.txt" | awk 'NF >= 6'; }
hosts | awk '{ print tolower($4) }' | crlf >"$demo/localGM"
{ echo "passerelle 198.18.0.1"; hosts | awk '{ print tolower($4), $2 }'; } | crlf >"$demo/liste.ip"
hosts | awk '{ m = toupper($3); gsub(":", "-", m); print tolower($4), m }' | crlf >"$demo/liste.mac"
# Each entry is one computer: its group file names it by address, for the
# follow-up checks and the machine list.
hosts | while read -r _ ip _ name _; do
  echo "$ip" | crlf >"$demo/$(echo "$name" | tr '[:upper:]' '[:lower:]')"
done
# netsweep, started by Korvane from the same folder, rewrites the lists and
# adds the computers it finds to liste.ip.discover: the demo starts that list
# afresh, and a marker left by an interrupted demo must not hold the scan back.
rm -f "$demo/localIP" "$demo/etats" "$demo/liste.ip.discover" "$demo/netsweep.lck"
# "OFF" on PC-BUREAU: its smbd accepts the lab's root account.
"$lab" samba h2
(umask 077 && printf 'username = root\npassword = labo-korvane\ndomain = MAISON\n' >"$demo/shutdown.auth")
# Tall enough for two rows of the map at the first run.
[ -f "$demo/krv.ini" ] || printf 'height=380\r\n' >"$demo/krv.ini"
"$lab" sleep h4

echo "Laboratoire prêt : passerelle 198.18.0.1, hôtes :"
hosts | awk '{ printf "  %-14s %s%s%s\n", $4, $2, ($1 == "h4" ? "  (en veille : ON le réveille)" : ""),
                ($1 == "h2" ? "  (Samba : OFF l'\''éteint)" : "") }'
if ((wake)); then
  export KORVANE_DEMO_WAKE=serveur-nas
  echo "Dans 5 s, la démo appuie sur SERVEUR-NAS puis sur « ON »."
fi

if [ -n "${DISPLAY:-}" ]; then
  echo "Korvane s'ouvre sur l'écran $DISPLAY (menu Fichier > Quitter pour finir)."
  "$lab" exec "$demo/korvane"
else
  shot=$demo/korvane.png
  rm -f "$shot"
  echo "Pas d'écran : Korvane tourne sous Xvfb, capture après le premier relevé (15 s)..."
  KORVANE_SCREENSHOT=$shot KORVANE_SCREENSHOT_DELAY=15 \
    "$lab" exec xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" "$demo/korvane"
  [ -s "$shot" ] || { echo "demo : la capture n'a pas été enregistrée." >&2; exit 1; }
  echo "Capture de la fenêtre enregistrée : $shot"
fi
echo "Listes écrites par netsweep (lancé par Korvane à son démarrage) :"
for list in liste.ip liste.mac liste.ip.discover; do
  echo "  $list :"
  sed 's/\r$//; s/^/    /' "$demo/$list" 2>/dev/null || true
done
if ((wake)); then
  if [ "$("$lab" asleep h4)" = 0 ]; then
    echo "SERVEUR-NAS s'est réveillé (paquet magique de wolcmd)."
  else
    echo "demo : SERVEUR-NAS ne s'est pas réveillé." >&2
    exit 1
  fi
fi
