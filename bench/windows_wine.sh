#!/usr/bin/env bash
# The Windows programs under Wine side by side with the native Linux ones on
# the lab's /24 (198.18.0.0/24: the gateway, four hosts and the admin
# machine, 248 silent addresses): the wall time of hostping on the list of
# the 254 addresses and of a whole netsweep run. Under Wine the server is
# kept running between runs, as it is on a desktop where Korvane polls every
# 10 seconds; the cost of starting Wine itself is reported apart (cmd.exe /c
# exit). netsweep.exe reads the stand-ins' French listings (tests/windows)
# where the native one runs netcmd and real NetBIOS queries. Each program
# runs RUNS times (best and median reported, in ms); every hostping run must
# find exactly the six live addresses (the admin machine answers too). Runs
# as root, in a network and mount namespace of its own (Wine's prefix and
# the Linux programs' folder on a tmpfs of the run's own,
# tests/windows/wine-prefix.sh), with a lab of its own.
# KORVANE_WIN_REFERENCE names the cross build of another version (its bin/
# folder is enough), whose hostping.exe and netsweep.exe then run in the
# same passes, side by side under the same load.
#   bench/windows_wine.sh [RUNS]      (needs build/ and build-win/)
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
runs=${1:-5}
[[ $runs =~ ^[1-9][0-9]?$ ]] || { echo "bench : nombre de passes invalide : $runs" >&2; exit 2; }
build=${KORVANE_BUILD:-$root/build}
build_win=${KORVANE_WIN_BUILD:-$root/build-win}
reference=${KORVANE_WIN_REFERENCE:-}
wine=/usr/lib/wine/wine64
if [ -z "${KORVANE_WINE_NS:-}" ]; then
  for program in "$build/bin/hostping" "$build/bin/netsweep" "$build/tests/labhost" \
                 "$build_win/bin/hostping.exe" "$build_win/tests/standin.exe" "$wine"; do
    [ -x "$program" ] || { echo "bench : $program introuvable (scripts/test.sh --windows)" >&2; exit 1; }
  done
  if [ -n "$reference" ]; then
    for program in "$reference/bin/hostping.exe" "$reference/bin/netsweep.exe"; do
      [ -x "$program" ] || { echo "bench : $program introuvable (KORVANE_WIN_REFERENCE)" >&2; exit 1; }
    done
  fi
  exec unshare --net --mount --propagation private -- \
    env KORVANE_WINE_NS=1 bash "${BASH_SOURCE[0]}" "$runs"
fi
. "$root/scripts/netns-guard.sh"
ip link set lo up
in_private_netns || { echo "bench : espace de noms réseau non privé, arrêt." >&2; exit 1; }
. "$root/tests/windows/wine-prefix.sh"
wine_tmpfs 3g
trap wine_tmpfs_cleanup EXIT
work=$WINE_TMPFS
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY=
export KORVANE_LAB=kwb$$ KORVANE_LABHOST=$build/tests/labhost
lab=$root/scripts/lab.sh
drive_c=$WINEPREFIX/drive_c
"$wine" wineboot --init >/dev/null 2>&1
/usr/lib/wine/wineserver -w

# The programs' folders: Windows in c:\korvane with the stand-ins in Wine's
# system folder, Linux in a folder of its own with netcmd.
mkdir -p "$drive_c/korvane"
mkdir -p -m 700 "$work/linux/scratch"  # netsweep refuses a scratch folder open to others
cp "$build_win"/bin/*.exe "$drive_c/korvane/"
if [ -n "$reference" ]; then
  mkdir -p "$drive_c/reference"
  cp "$reference/bin/hostping.exe" "$reference/bin/netsweep.exe" "$drive_c/reference/"
fi
wine_standins "$build_win" "$root" ipconfig nbtstat arp
cp "$build/bin/hostping" "$build/bin/netsweep" "$build/bin/netcmd" "$work/linux/"
# The Linux programs' work folder is theirs only: Wine would hand the
# variable to the Windows programs, whose own is in the prefix.
unset KORVANE_SCRATCH
linux_scratch=$work/linux/scratch
for i in $(seq 1 254); do printf '198.18.0.%d\r\n' "$i"; done >"$work/list"
cp "$work/list" "$drive_c/list"
expected=$(printf '198.18.0.%s=1\n' 1 2 11 12 13 14)

trap '"$lab" exec /usr/lib/wine/wineserver -k >/dev/null 2>&1 || true; "$lab" down >/dev/null 2>&1 || true
      wine_tmpfs_cleanup' EXIT
"$lab" up >/dev/null
# The Wine server starts in the lab's admin namespace and stays between runs
# (-p: else it leaves 3 s after the last program, and the next run would
# pay its start and its services'), as on a desktop where Korvane polls
# every 10 seconds.
"$lab" exec /usr/lib/wine/wineserver -p
"$lab" exec "$wine" cmd.exe /c exit

# Wall time of one run in the admin namespace, in microseconds. Every run
# starts with the admin's neighbour table empty, as after a while without
# traffic: a run just after another would find the silent addresses already
# marked failed and be spared their look-ups.
time_run() {  # folder, command...
  "$lab" exec ip neigh flush all
  "$lab" exec bash -c 'cd "$1"; shift; start=${EPOCHREALTIME//[!0-9]/}
    "$@" >/dev/null 2>&1 || true
    end=${EPOCHREALTIME//[!0-9]/}; echo $((end - start))' _ "$@"
}
resetLists() {  # folder
  for list in liste.ip liste.mac liste.ip.discover localGM krv.ini; do : >"$1/$list"; done
  rm -f "$1/netsweep.lck"
}
report() {  # label, times...
  local label=$1; shift
  sort -n <<<"$(printf '%s\n' "$@")" | awk -v l="$label" '{ t[NR] = $1 }
    END { printf "%-28s meilleur %8.1f ms   médiane %8.1f ms\n", l, t[1] / 1000, t[int((NR + 1) / 2)] / 1000 }'
}
check_lists() {  # folder: a run that found the LAN wrote its four hosts
  [ "$(tr -d '\r' <"$1/liste.ip" | wc -l)" = 4 ] ||
    { echo "bench : netsweep n'a pas écrit les quatre hôtes dans $1/liste.ip :" $(tr -d "\r" <"$1/liste.ip") >&2; exit 1; }
}
check_answers() {  # file
  [ "$(tr -d '\r' <"$1" | sort -V)" = "$expected" ] ||
    { echo "bench : réponses inattendues dans $1 :" $(tr -d "\r" <"$1") >&2; exit 1; }
}

declare -a wine_start hostping_linux hostping_wine netsweep_linux netsweep_wine
declare -a hostping_reference netsweep_reference
for _ in $(seq 1 "$runs"); do
  wine_start+=("$(time_run "$drive_c" "$wine" cmd.exe /c exit)")
  hostping_linux+=("$(time_run "$work/linux" ./hostping "$work/list" "$work/linux/answers")")
  check_answers "$work/linux/answers"
  hostping_wine+=("$(time_run "$drive_c" "$wine" 'c:\korvane\hostping.exe' 'c:\list' 'c:\answers')")
  check_answers "$drive_c/answers"
  resetLists "$work/linux"
  netsweep_linux+=("$(time_run "$work/linux" env KORVANE_SCRATCH="$linux_scratch" ./netsweep)")
  check_lists "$work/linux"
  resetLists "$drive_c/korvane"
  netsweep_wine+=("$(time_run "$drive_c/korvane" "$wine" 'c:\korvane\netsweep.exe')")
  check_lists "$drive_c/korvane"
  [ -n "$reference" ] || continue
  hostping_reference+=("$(time_run "$drive_c" "$wine" 'c:\reference\hostping.exe' 'c:\list' 'c:\answers')")
  check_answers "$drive_c/answers"
  resetLists "$drive_c/reference"
  netsweep_reference+=("$(time_run "$drive_c/reference" "$wine" 'c:\reference\netsweep.exe')")
  check_lists "$drive_c/reference"
done
echo "Laboratoire 198.18.0.0/24, $runs passes par programme"
report "démarrage de Wine (cmd.exe)" "${wine_start[@]}"
report "hostping (Linux)" "${hostping_linux[@]}"
report "hostping.exe (Wine)" "${hostping_wine[@]}"
report "netsweep (Linux)" "${netsweep_linux[@]}"
report "netsweep.exe (Wine)" "${netsweep_wine[@]}"
if [ -n "$reference" ]; then
  report "hostping.exe (référence)" "${hostping_reference[@]}"
  report "netsweep.exe (référence)" "${netsweep_reference[@]}"
fi
