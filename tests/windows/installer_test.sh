#!/usr/bin/env bash
# Korvane's Windows installer (BUILD/installateur/, packaging/windows/) under
# Wine, as an administrator deploys it (silent mode) and a user lives with it.
# Called by run.sh (already in a private network and mount namespace, the Wine
# prefix made on a tmpfs).
#   install:   /S into %LOCALAPPDATA%\Programs\Korvane: the programs
#              (stripped), the bitmaps, the uninstaller, the Start menu
#              shortcut, the user's uninstall entry; no Startup entry;
#   start:     korvane.exe, from the Start menu shortcut, on Xvfb, saves its
#              picture (KORVANE_SCREENSHOT) and quits, its krv.ini written
#              in its folder;
#   upgrade:   /S /PLANIFICATEUR over it, with the user's files in the
#              folder and the planner and the window running: the files are
#              kept, a damaged program replaced, the planner closed as
#              "Quitter" does and started again, the window closed, the
#              Startup entry made;
#   uninstall: /S: the programs, the shortcut, the entries, the work folder
#              go, the user's files stay, the planner is closed;
#   again:     /S /D=C:\Outils installs into C:\Outils\Korvane, and
#              /S /SUPPRIMER-FICHIERS removes that folder whole, a read-only
#              marker included, and nothing of C:\Outils beside it, nor
#              what a link there or a work folder that is a link shows.
set -euo pipefail

build=${KORVANE_WIN_BUILD:?}
wine=${KORVANE_WINE:?}
[ -n "${KORVANE_WINE_NS:-}" ] || { echo "refus : à lancer par run.sh" >&2; exit 1; }
server=/usr/lib/wine/wineserver
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
installer=$build/installateur/korvane-$version-installation.exe
stage=$build/packaging/windows/programmes
if [ ! -f "$installer" ]; then
  echo "ÉCHEC installateur absent : $installer (makensis : bash scripts/bootstrap.sh --windows)"
  exit 1
fi
status=0
started=$SECONDS

# Each shortcut would also become a desktop entry of the machine
# (winemenubuilder): not here, and HOME is the tmpfs's anyway.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:+$WINEDLLOVERRIDES;}winemenubuilder.exe=d"
HOME=$(mktemp -d)
export HOME LC_ALL=fr_FR.UTF-8

check() {  # what, expected, actual
  if [ "$2" = "$3" ]; then echo "ok   $1"; else
    echo "ÉCHEC $1"; diff <(printf '%s\n' "$2") <(printf '%s\n' "$3") || true; status=1; fi
}
wait_for() {  # description, seconds, command...
  local what=$1 end=$((SECONDS + $2))
  shift 2
  until "$@"; do
    if ((SECONDS >= end)); then echo "ÉCHEC $what (après $2 s)"; status=1; return 1; fi
    sleep 0.3
  done
}
unix_path() { "$wine" winepath -u "$1" 2>/dev/null | tr -d '\r'; }
win_variable() { "$wine" cmd /c "echo %$1%" 2>/dev/null | tr -d '\r'; }
# A value of the user's registry, "" when missing.
# reg prints "    NAME    REG_SZ    VALUE".
reg_value() {  # key, name
  "$wine" reg query "HKCU\\$1" /v "$2" 2>/dev/null | tr -d '\r' |
    awk -v n="$2" '{ sub(/^ +/, "") } index($0, n "    REG_") == 1 {
      $0 = substr($0, length(n) + 1); sub(/^ +REG_[A-Z_]+ +/, ""); print }'
}
# Whether a korvane.exe of this test runs, its planner or its window (its own
# mount namespace: other runs of the same test on the machine do not count).
korvane_running() {  # planificateur | fenetre
  local own pid line
  own=$(readlink /proc/self/ns/mnt)
  for pid in /proc/[0-9]*; do
    [ "$(readlink "$pid/ns/mnt" 2>/dev/null)" = "$own" ] || continue
    line=$(tr '\0' ' ' <"$pid/cmdline" 2>/dev/null) || continue
    grep -qi 'korvane\.exe' <<<"$line" || continue
    if grep -q -- '--planificateur' <<<"$line"; then
      [ "$1" = planificateur ] && return 0
    else
      [ "$1" = fenetre ] && return 0
    fi
  done
  return 1
}
planner_running() { korvane_running planificateur; }
# The uninstaller runs a copy of itself from %TEMP% and returns at once:
# wait for every Wine process of the prefix.
wait_wine() { timeout 60 "$server" -w || { echo "ÉCHEC Wine ne se termine pas"; status=1; }; }
listing() { (cd "$1" && find . -mindepth 1 | sed 's|^\./||' | sort); }
sums() { (cd "$1" && md5sum localGM liste.planning pc1 consommation.csv 2>&1); }

# A display for the whole test: without one, Wine gives each process a
# desktop of its own, where the installer would not find a running Korvane's
# windows as it does on Windows.
display_file=$(mktemp)
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$display_file" >/dev/null 2>&1 &
xvfb=$!
finish() {
  "$server" -k 2>/dev/null || true
  kill "$xvfb" 2>/dev/null || true
  wait "$xvfb" 2>/dev/null || true
}
trap finish EXIT
for _ in $(seq 100); do [ -s "$display_file" ] && break; sleep 0.05; done
[ -s "$display_file" ] || { echo "ÉCHEC Xvfb n'a pas démarré"; exit 1; }
export DISPLAY=:$(cat "$display_file")

local_dir=$(win_variable LOCALAPPDATA)
appdata=$(unix_path "$(win_variable APPDATA)")
win_dir="$local_dir\\Programs\\Korvane"
dir=$(unix_path "$win_dir")
shortcut="$appdata/Microsoft/Windows/Start Menu/Programs/Korvane.lnk"
uninstall_key='Software\Microsoft\Windows\CurrentVersion\Uninstall\Korvane'
run_key='Software\Microsoft\Windows\CurrentVersion\Run'
programs=$'desinstaller.exe\necran-off.bmp\necran-on.bmp\nhostping.exe\nkorvane.exe\nled-gris.bmp\nled-orange.bmp\nled-rouge.bmp\nled-vert.bmp\nnetsweep.exe\nneufbox_off.bmp\nneufbox_on.bmp\nwolcmd.exe'

echo "== installateur : installation silencieuse ($(du -k "$installer" | cut -f1) Kio)"
"$wine" "$installer" /S && rc=0 || rc=$?
check "code de sortie" 0 "$rc"
check "le dossier de Korvane" "$programs" "$(listing "$dir" 2>&1)"
check "korvane.exe sans informations de débogage" sans "$(
  if sections=$(x86_64-w64-mingw32-objdump -h "$dir/korvane.exe" 2>&1); then
    grep -q '\.debug' <<<"$sections" && echo avec || echo sans
  else echo "illisible : $sections"; fi)"
check "l'entrée de désinstallation" \
  "Korvane|$version|$win_dir|\"$win_dir\\desinstaller.exe\"|\"$win_dir\\desinstaller.exe\" /S" \
  "$(for v in DisplayName DisplayVersion InstallLocation UninstallString QuietUninstallString; do
       printf '%s|' "$(reg_value "$uninstall_key" "$v")"; done | sed 's/|$//')"
check "le raccourci du menu Démarrer" présent "$([ -f "$shortcut" ] && echo présent || echo absent)"
check "pas de démarrage automatique par défaut" "" "$(reg_value "$run_key" 'Korvane planificateur')"
[ -d "$dir" ] || { echo "ÉCHEC rien n'est installé : la suite est sans objet"; exit 1; }

echo "== korvane.exe installé, lancé par son raccourci"
KORVANE_SCREENSHOT='c:\korvane-installe.png' \
  KORVANE_SCREENSHOT_DELAY=2 timeout 90 "$wine" explorer /desktop=korvane,1024x768 \
  start /wait "$(win_variable APPDATA)\\Microsoft\\Windows\\Start Menu\\Programs\\Korvane.lnk" \
  >/dev/null 2>&1 || true
picture=$WINEPREFIX/drive_c/korvane-installe.png
check "son image (PNG)" PNG "$(head -c 4 "$picture" 2>/dev/null | tail -c 3)"
[ -s "$picture" ] && cp "$picture" "$build/korvane-installe.png"
check "krv.ini écrit dans son dossier" présent "$([ -s "$dir/krv.ini" ] && echo présent || echo absent)"
wait_wine

echo "== installateur : mise à jour par-dessus, planificateur en marche"
printf 'pc1\r\npc10\r\n' >"$dir/localGM"
printf 'pc1;7:30;19:00\r\n' >"$dir/liste.planning"
printf 'pc1\r\n' >"$dir/pc1"
printf '"Ordinateur";"kWh"\r\n"pc1";"12"\r\n' >"$dir/consommation.csv"
before=$(sums "$dir")
printf 'abîmé' >"$dir/hostping.exe"
rm -f "$dir/planning.lck" "$dir/settings.ini"
"$wine" "$win_dir\\korvane.exe" --planificateur >/dev/null 2>&1 &
wait_for "le planificateur démarre" 30 test -e "$dir/planning.lck"
hook=$WINEPREFIX/drive_c/hook.txt
KORVANE_TEST_HOOK='c:\hook.txt' "$wine" "$win_dir\\korvane.exe" >/dev/null 2>&1 &
wait_for "la fenêtre s'ouvre" 30 test -s "$hook"
sleep 1
"$wine" "$installer" /S /PLANIFICATEUR && rc=0 || rc=$?
check "code de sortie" 0 "$rc"
check "les fichiers de l'utilisateur gardés" "$before" "$(sums "$dir")"
check "hostping.exe remplacé" identique "$(cmp -s "$stage/hostping.exe" "$dir/hostping.exe" &&
  echo identique || echo différent)"
check "le planificateur fermé comme par « Quitter » (settings.ini)" présent \
  "$([ -e "$dir/settings.ini" ] && echo présent || echo absent)"
wait_for "la fenêtre fermée" 10 eval '! korvane_running fenetre' && echo "ok   la fenêtre fermée"
wait_for "le nouveau planificateur démarre" 20 planner_running && echo "ok   le planificateur relancé"
check "l'entrée de démarrage" "\"$win_dir\\korvane.exe\" --planificateur" \
  "$(reg_value "$run_key" 'Korvane planificateur')"

echo "== désinstallation silencieuse"
work=$(unix_path "$local_dir\\Korvane\\travail")
mkdir -p "$work" && printf 'x' >"$work/ipconfig.txt"
rm -f "$dir/settings.ini"
"$wine" "$win_dir\\desinstaller.exe" /S && rc=0 || rc=$?
wait_wine
check "code de sortie" 0 "$rc"
check "les programmes partis, les fichiers de l'utilisateur restés" "" \
  "$(listing "$dir" | grep -E '\.(exe|bmp)$' || true)"
check "les fichiers de l'utilisateur intacts" "$before" "$(sums "$dir")"
check "le planificateur fermé (settings.ini), plus en marche" "présent non" \
  "$([ -e "$dir/settings.ini" ] && echo présent || echo absent) $(planner_running && echo oui || echo non)"
check "raccourci, entrées, dossier de travail" "absent||||absent" \
  "$([ -e "$shortcut" ] && echo présent || echo absent)|$(reg_value "$uninstall_key" DisplayName)|$(
    reg_value "$uninstall_key" UninstallString)|$(reg_value "$run_key" 'Korvane planificateur')|$(
    [ -e "$work" ] && echo présent || echo absent)"

echo "== installation dans C:\\Outils, puis désinstallation avec les fichiers"
outils=$WINEPREFIX/drive_c/Outils
mkdir -p "$outils" && printf 'à garder' >"$outils/autre.txt"
"$wine" "$installer" /S '/D=C:\Outils' && rc=0 || rc=$?
check "code de sortie" 0 "$rc"
check "installé dans C:\\Outils\\Korvane" "$programs" "$(listing "$outils/Korvane" 2>&1)"
check "son entrée de désinstallation" 'C:\Outils\Korvane' "$(reg_value "$uninstall_key" InstallLocation)"
printf 'pc1\r\n' >"$outils/Korvane/localGM"
printf '' >"$outils/Korvane/ping3.lck" && chmod 444 "$outils/Korvane/ping3.lck"
# A work folder that is a link (Wine shows a Linux symbolic link as one).
elsewhere=$WINEPREFIX/drive_c/ailleurs
mkdir -p "$elsewhere" "$(dirname "$work")" && printf 'x' >"$elsewhere/garder.txt"
ln -s "$elsewhere" "$work"
ln -s "$elsewhere" "$outils/Korvane/raccourci"
"$wine" 'C:\Outils\Korvane\desinstaller.exe' /S /SUPPRIMER-FICHIERS && rc=0 || rc=$?
wait_wine
check "code de sortie" 0 "$rc"
# Windows removes the link itself; Wine cannot remove the Linux one it shows,
# and Korvane's folder then stays for it alone.
check "C:\\Outils garde le reste, Korvane parti" "autre.txt" \
  "$(listing "$outils" | grep -vx 'Korvane\(/raccourci\)\?')"
check "les liens (le dossier de travail, un dans Korvane) jamais suivis" "garder.txt lien" \
  "$(listing "$elsewhere" | tr '\n' ' ')$([ -L "$work" ] && echo lien || echo absent)"
# The first folder's user files are no business of this uninstaller.
check "l'autre dossier de l'utilisateur intact" "$before" "$(sums "$dir")"

echo "== installateur : $((SECONDS - started)) s"
exit "$status"
