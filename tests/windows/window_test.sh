#!/usr/bin/env bash
# Korvane's Win32 window under Wine, driven from outside as a user would: on
# Xvfb, in Wine's virtual desktop, keys by xdotool and clicks at the places
# the program itself reports (KORVANE_TEST_HOOK, korvane/win32/test_hook.h).
# Called by run.sh (already in a private network and mount namespace, the
# Wine prefix made, the stand-ins of the Windows commands in its system
# folder). A lab of its own comes up: h1 (PC-SALON) awake, h3 (PORTABLE-ANNE)
# asleep; Xvfb, Wine and xdotool run in its admin namespace.
#   96 DPI:   the map shows h1 on and h3 off; "ON" on h3 wakes it (its
#             magic-packet listener wakes it, the next poll shows it on);
#             "OFF" on h1 runs the shutdown batch with its command line; the
#             intake dialog enrols a host that netsweep.exe found; the energy
#             report exports its CSV; the entry's menu renames it; F1 and
#             Alt+E P open "A propos" and the preferences;
#             "Quitter" (Ctrl+Q) ends it, settings written;
#   144 DPI:  the height krv.ini keeps (96 DPI pixels) grows with the DPI:
#             three entries show whole, no scroll bar, the status bar in
#             sight; KORVANE_SCREENSHOT takes the window, which then quits;
#   both:     no control's text is cut, no two controls of the map overlap,
#             all lie in the window (a picture of each: BUILD/korvane-*dpi.png);
#   window_tests.exe: the window's scheduler, its menus and keys against the
#             app's command table, its font;
#   --planificateur: no window shows; the end of the session ends it as
#             "Quitter" does.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${KORVANE_WIN_BUILD:?}
wine=${KORVANE_WINE:?}
lab=$root/scripts/lab.sh

if [ "${1:-}" != --dans-le-labo ]; then
  export KORVANE_LAB=kwin$$
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
server=/usr/lib/wine/wineserver
drive_c=$WINEPREFIX/drive_c
folder=$drive_c/korvane-fenetre
win_folder='c:\korvane-fenetre'
hook=$folder/hook.txt
export KORVANE_TEST_HOOK="$win_folder\\hook.txt" KORVANE_TIME_SCALE=5 LC_ALL=fr_FR.UTF-8
status=0

check() {  # what, expected, actual
  if [ "$2" = "$3" ]; then echo "ok   $1"; else
    echo "ÉCHEC $1"; diff <(printf '%s\n' "$2") <(printf '%s\n' "$3") || true; status=1; fi
}

# Xvfb picks a free display; Wine draws its virtual desktop there.
display_file=$(mktemp)
exec 3>"$display_file"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
exec 3>&-
for _ in $(seq 100); do [ -s "$display_file" ] && break; sleep 0.05; done
export DISPLAY=:$(cat "$display_file")
rm -f "$display_file"
finish() {
  "$server" -k 2>/dev/null || true
  kill "$xvfb" 2>/dev/null || true
}
trap finish EXIT

dpi() {  # the prefix's DPI, read by every program Wine starts after it
  "$server" -k 2>/dev/null || true
  "$server" -w
  "$wine" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
  "$server" -w
}

# The hook's line of a control: "Form1.machine0", "machines.btn_on"...
line() { [ -f "$hook" ] && awk -F'\t' -v n="$1" '$1 == n' "$hook" | head -n 1; }
field() { line "$1" | cut -f "$2"; }
wait_for() {  # description, seconds, command...
  local what=$1 bound=$2 end
  shift 2
  end=$((SECONDS + bound))
  until "$@"; do
    if ((SECONDS >= end)); then
      echo "ÉCHEC $what (après $bound s) ; l'écran : $build/korvane-fenetre-echec.png"
      import -window root "$build/korvane-fenetre-echec.png" 2>/dev/null || true
      cat "$hook" 2>/dev/null || true
      return 1
    fi
    sleep 0.3
  done
}
shows() { [ "$(field "$1" 6)" = 1 ] && [ "$(field "$1" 8)" = "$2" ]; }
open() { [ "$(field "$1" 6)" = 1 ]; }
gone() { [ "$(field "$1" 6)" != 1 ]; }
click() {
  local left top right bottom
  IFS=$'\t' read -r _ left top right bottom _ < <(line "$1")
  xdotool mousemove $(((left + right) / 2)) $(((top + bottom) / 2)) click "${2:-1}"
}
# Keys go to the window the user last clicked: the main window's status bar.
keys() { click Form1.StatusMain && xdotool key --clearmodifiers "$@"; }

# No text of a shown control is cut, no two controls overlap, and those the
# map's view shows lie within the window (rows below the view wait for its
# scroll bar).
layout() {  # window name, hook file
  awk -F'\t' -v w="$1" '
    $1 == w { L = $2; T = $3; R = $4; B = $5; next }
    $1 == w ".carte" { viewBottom = $5 }
    index($1, w ".") == 1 && $6 == 1 {
      if ($7 == 1) print "texte coupé : " $1 " « " $8 " »"
      n = $1; sub(/^[^.]*\./, "", n)
      if (n ~ /^(carte|Panel1|StatusMain|console)$/) next
      name[++count] = $1; l[count] = $2; t[count] = $3; r[count] = $4; b[count] = $5
    }
    END {
      for (i = 1; i <= count; i++) {
        if (viewBottom && t[i] >= viewBottom) continue
        if (l[i] < L || t[i] < T || r[i] > R || b[i] > B) print "hors de la fenêtre : " name[i]
        for (j = i + 1; j <= count; j++)
          if (l[i] < r[j] && l[j] < r[i] && t[i] < b[j] && t[j] < b[i])
            print "chevauchement : " name[i] " et " name[j]
      }
    }' "$2"
}

run_korvane() {  # extra variables for the run
  env "$@" "$wine" explorer /desktop=korvane,1024x768 "$win_folder\\korvane.exe" >/dev/null 2>&1 &
  korvane=$!
}
ended() { ! kill -0 "$korvane" 2>/dev/null; }

# "MS Sans Serif", in the fonts folder of every Western Windows and the font
# Korvane's window was drawn in: Debian's Wine keeps its copy outside the
# prefix, where the programs do not find it. Read at the wine server's start.
cp /usr/share/wine/fonts/sserife.fon "$drive_c/windows/Fonts/"
"$server" -k 2>/dev/null || true
"$server" -w

echo "== window_tests.exe (Wine)"
mkdir -p "$drive_c/korvane-tests"
cp "$build/tests/window_tests.exe" "$drive_c/korvane-tests/"
"$wine" 'c:\korvane-tests\window_tests.exe' || status=1

# A program folder: the programs, the bitmaps, two managed computers.
rm -rf "$folder"
mkdir -p "$folder"
cp "$build"/bin/*.exe "$build"/bin/*.bmp "$folder/"
printf 'pc-salon\r\nportable-anne\r\n' >"$folder/localGM"
printf 'pc-salon 198.18.0.11\r\nportable-anne 198.18.0.13\r\n' >"$folder/liste.ip"
printf 'pc-salon 02-4B-52-00-00-11\r\nportable-anne 02-4B-52-00-00-13\r\n' >"$folder/liste.mac"
calls=$drive_c/korvane-standins/shutdown-calls.txt
rm -f "$calls"

echo "== korvane.exe, sa fenêtre à 96 ppp (Wine, laboratoire)"
dpi 96
run_korvane
wait_for "la carte montre PC-SALON allumé, PORTABLE-ANNE éteint" 60 \
  eval 'shows Form1.machine0 on && shows Form1.machine1 off && shows Form1.routeur on'
check "PORTABLE-ANNE dort encore" 1 "$("$lab" asleep h3 2>/dev/null || echo 1)"
check "disposition à 96 ppp" "" "$(layout Form1 "$hook")"
IFS=$'\t' read -r _ left top right bottom _ < <(line Form1)
import -window root -crop "$((right - left))x$((bottom - top))+$left+$top" +repage \
  "$build/korvane-fenetre-96dpi.png"

# The keys and mnemonics of the command table (tests/windows/window checks
# the menus against it): F1, then Alt+E P, as the Qt window has them too.
keys F1
wait_for "F1 ouvre « A propos »" 15 open AboutBox.OKButton
click AboutBox.OKButton
wait_for "« A propos » se ferme" 15 gone AboutBox.OKButton
keys alt+e p
wait_for "Alt+E P ouvre les préférences" 15 open Prefs.BitBtn2
click Prefs.BitBtn2
wait_for "les préférences se ferment" 15 gone Prefs.BitBtn2

# "ON" on the sleeping computer: the magic packet wakes it, a poll shows it.
click Form1.machine1
wait_for "le dialogue machines s'ouvre" 15 open machines.btn_on
check "le dialogue montre PORTABLE-ANNE" "PORTABLE-ANNE	198.18.0.13	02-4B-52-00-00-13" \
  "$(field machines.nommachine 8)	$(field machines.ipmachine 8)	$(field machines.macmachine 8)"
check "disposition du dialogue machines" "" "$(layout machines "$hook")"
check "le champ de l'utilisateur SSH a son titre" "Utilisateur SSH :" "$(field machines.Label6 8)"
click machines.btn_on
wait_for "h3 réveillé par le paquet magique" 30 eval '[ "$("$lab" asleep h3)" = 0 ]'
wait_for "la carte montre PORTABLE-ANNE allumé" 30 shows Form1.machine1 on

# "OFF" on the awake one: the shutdown batch, as Windows' shutdown gets it.
click Form1.machine0
wait_for "le dialogue machines s'ouvre" 15 open machines.btn_off
click machines.btn_off
wait_for "shutdown lancé" 30 test -s "$calls"
check "la ligne de shutdown" '-s -f -t 30 -m \\198.18.0.11' "$(tr -d '\r' <"$calls" 2>/dev/null)"

# The intake dialog offers what netsweep.exe found; "=>" then OK enrols it.
keys ctrl+n
wait_for "le dialogue d'ajout s'ouvre" 15 open AddMachine.Label1
wait_for "netsweep a trouvé une machine" 60 \
  eval '[[ "$(field AddMachine.Label1 8)" =~ ^(pc-bureau|serveur-nas)$ ]]'
found=$(field AddMachine.Label1 8)
check "disposition du dialogue d'ajout" "" "$(layout AddMachine "$hook")"
click AddMachine.SpeedButton1
click AddMachine.BitBtn1
wait_for "le dialogue d'ajout se ferme" 15 gone AddMachine.BitBtn1
check "localGM" "$(printf 'pc-salon\nportable-anne\n%s' "$found")" "$(tr -d '\r' <"$folder/localGM")"
check "fichier de groupe de $found" "$found" "$(tr -d '\r' <"$folder/$found" 2>/dev/null)"
wait_for "la carte montre $found" 15 open Form1.machine2

# The energy report of every computer, exported to CSV.
keys ctrl+e
wait_for "le rapport de consommation s'ouvre" 15 open Consommation.BtnExport
check "disposition du rapport" "" "$(layout Consommation "$hook")"
click Consommation.BtnExport
wait_for "consommation.csv écrit" 15 test -s "$folder/consommation.csv"
check "consommation.csv : une ligne par ordinateur" \
  "$(printf 'Ordinateur\npc-salon\nportable-anne\n%s' "$found")" \
  "$(tr -d '\r' <"$folder/consommation.csv" | cut -d';' -f1 | tr -d '"')"
# No scalc.exe here: the shell's default opener shows it (Wine's notepad),
# which taskkill then ends (Wine's tasklist lists nothing).
close_notepad() { "$wine" taskkill /f /im notepad.exe >/dev/null 2>&1; }
wait_for "le CSV s'ouvre dans le programme par défaut" 30 close_notepad
wait_for "le Bloc-notes se ferme" 15 eval '! close_notepad'
click Consommation.BtnClose
wait_for "le rapport se ferme" 15 gone Consommation.BtnClose

# The entry's own menu (right click): "Renommer" through the one-line dialog.
click Form1.machine2 3
sleep 0.5
xdotool key r
wait_for "le dialogue d'une ligne s'ouvre" 15 open OKBottomDlg.gEdit
check "le nom proposé" "$found" "$(field OKBottomDlg.gEdit 8)"
xdotool type --delay 20 bureau-2
xdotool key Return
wait_for "la carte montre le nouveau nom" 15 shows Form1.NameCaption2 BUREAU-2
check "localGM après Renommer" "$(printf 'pc-salon\nportable-anne\nbureau-2')" \
  "$(tr -d '\r' <"$folder/localGM")"
check "le fichier de groupe suit son entrée" "présent absent" \
  "$([ -e "$folder/bureau-2" ] && echo présent || echo absent) $([ -e "$folder/$found" ] && echo présent || echo absent)"

keys ctrl+q
wait_for "Quitter termine Korvane" 30 ended
check "krv.ini garde la hauteur de la fenêtre" 1 \
  "$(grep -c '^height=[0-9]' "$folder/krv.ini" 2>/dev/null || true)"

echo "== korvane.exe, sa fenêtre à 144 ppp (Wine, laboratoire)"
dpi 144
rm -f "$hook" "$folder/ecran-144.png"
# A height (in the design's pixels, 96 DPI) that shows the three entries
# whole: the window opens that much larger at 144 DPI.
sed -i 's/^height=.*/height=420\r/' "$folder/krv.ini"
run_korvane KORVANE_SCREENSHOT="$win_folder\\ecran-144.png" KORVANE_SCREENSHOT_DELAY=5
wait_for "la carte à 144 ppp" 60 eval 'shows Form1.machine0 on && open Form1.machine2'
hook144=$(mktemp)
cp "$hook" "$hook144"
wait_for "KORVANE_SCREENSHOT prend la fenêtre et termine Korvane" 60 ended
check "disposition à 144 ppp" "" "$(layout Form1 "$hook144")"
check "la fenêtre grandit avec les ppp" 1 "$(awk -F'\t' '$1 == "Form1.machine0" {
  print ($4 - $2 >= 100 && $5 - $3 >= 90) }' "$hook144")"
check "trois entrées sans barre de défilement à 144 ppp" "" \
  "$(awk -F'\t' '$1 == "Form1.carte" { print $8 }' "$hook144")"
check "la barre d'état se voit à 144 ppp" 1 "$(awk -F'\t' '
  $1 == "Form1" { B = $5 } $1 == "Form1.StatusMain" { v = $6; t = $3; b = $5 }
  END { print (v == 1 && b > t && b <= B && B <= 768) }' "$hook144")"
check "krv.ini garde la hauteur en pixels de 96 ppp" "height=420" \
  "$(grep -a '^height=' "$folder/krv.ini" | tr -d '\r')"
rm -f "$hook144"
if [ -s "$folder/ecran-144.png" ]; then
  cp "$folder/ecran-144.png" "$build/korvane-fenetre-144dpi.png"
  echo "ok   image à 144 ppp"
else
  echo "ÉCHEC image à 144 ppp absente"; status=1
fi

echo "== korvane.exe --planificateur (Wine, laboratoire)"
dpi 96
rm -f "$hook" "$folder/settings.ini"
"$wine" "$win_folder\\korvane.exe" --planificateur >/dev/null 2>&1 &
korvane=$!
sleep 4
check "aucune fenêtre" "absent" "$([ -e "$hook" ] && echo présent || echo absent)"
check "toujours en marche" 0 "$(ended && echo 1 || echo 0)"
"$wine" wineboot --end-session >/dev/null 2>&1 || true
wait_for "la fin de la session termine le planificateur" 30 ended
check "settings.ini écrit à la fin" présent \
  "$([ -e "$folder/settings.ini" ] && echo présent || echo absent)"

exit "$status"
