#!/usr/bin/env bash
# The Windows tests under Wine:
#   tests/windows/run.sh BUILD-WIN [unit|lab|window|web|installer|all]   (default all)
# BUILD-WIN is the cross build (cmake/mingw-w64-x86_64.cmake). Everything runs
# in a network namespace of its own holding only loopback, and in a mount
# namespace of its own where a tmpfs of the run's own holds the Wine prefix
# (wine-prefix.sh): nothing Wine writes stays on the machine, and nothing it
# sends leaves it.
#   unit  the unit tests (unit_tests.exe, win32_tests.exe) and the web layer's
#         (web_tests.exe), loopback only;
#   lab   the console programs and the batch files against the simulated LAN
#         (tests/windows/lab.sh, in the lab's admin namespace);
#   window  Korvane's Win32 window driven on Xvfb against the simulated LAN
#         (tests/windows/window_test.sh);
#   web   "korvane.exe --planificateur" serving the page and the API over
#         HTTP to curl on a host of the lab (tests/windows/web_test.sh);
#   installer  the installer (BUILD-WIN/installateur/, target installateur):
#         silent installation, the installed window's start, an upgrade and
#         the uninstallation keeping the user's files
#         (tests/windows/installer_test.sh).
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
build=$(cd "${1:?dossier de la compilation Windows attendu}" && pwd)
what=${2:-all}
wine=/usr/lib/wine/wine64
[ -x "$wine" ] || { echo "Wine introuvable ($wine) : bash scripts/bootstrap.sh --windows" >&2; exit 1; }

if [ -z "${KORVANE_WINE_NS:-}" ]; then
  exec unshare --net --mount --propagation private -- \
    env KORVANE_WINE_NS=1 bash "${BASH_SOURCE[0]}" "$build" "$what"
fi

. "$root/scripts/netns-guard.sh"
ip link set lo up
in_private_netns || { echo "refus : espace de noms réseau non privé" >&2; exit 1; }
. "$here/wine-prefix.sh"
wine_tmpfs 3g
trap wine_tmpfs_cleanup EXIT

# A French Windows: ANSI code page 1252, console code page 850.
export LC_ALL=fr_FR.UTF-8
# A display of the run's own for Wine's consoles: without one, a batch file
# started hidden gets no console, and cmd.exe then writes its redirections
# in the ANSI code page rather than in the console's, as Windows never does.
Xvfb -displayfd 3 -nolisten tcp -screen 0 640x480x16 3>"$WINE_TMPFS/display" >/dev/null 2>&1 &
xvfb=$!
finish() {
  /usr/lib/wine/wineserver -k >/dev/null 2>&1 || true
  kill "$xvfb" 2>/dev/null || true
  wait "$xvfb" 2>/dev/null || true
  wine_tmpfs_cleanup
}
trap finish EXIT
for _ in $(seq 1 100); do [ -s "$WINE_TMPFS/display" ] && break; sleep 0.1; done
[ -s "$WINE_TMPFS/display" ] || { echo "Xvfb n'a pas démarré" >&2; exit 1; }

export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY=":$(cat "$WINE_TMPFS/display")"
export KORVANE_WINE=$wine KORVANE_WIN_BUILD=$build
# Wine hands the environment to the Windows programs: a Linux work folder
# named for the native programs is no Windows one.
unset KORVANE_SCRATCH
drive_c=$WINEPREFIX/drive_c

# The first start makes the prefix; the wine server then leaves, so that the
# next one starts in the namespace where it is needed.
"$wine" wineboot --init >/dev/null 2>&1
/usr/lib/wine/wineserver -w

# The stand-ins of the commands Wine lacks or gets wrong (standin.cpp), in
# Wine's system folder in the place of its own, with the French Windows
# listings they print.
wine_standins "$build" "$root" ipconfig nbtstat arp ping shutdown sc
# Korvane calls Windows' OpenSSH client by its full path, where Wine has none.
mkdir -p "$drive_c/windows/system32/OpenSSH"
cp "$build/tests/standin.exe" "$drive_c/windows/system32/OpenSSH/ssh.exe"
# A link where a folder is expected, which Wine cannot make itself: a
# symbolic link of the Linux side, which it shows as a link.
ln -s "$drive_c/windows" "$drive_c/korvane-lien"

status=0
# Left out of the Windows run: the cases that check the POSIX forms of the
# work files (the scratch folder's POSIX rules; win32_tests.exe checks the
# Windows ones); one that sets a file time and
# expects it back to the nanosecond, which mingw's C++ library sets to the
# second only (win32_tests.exe checks the marker's renewal); one that makes
# a named pipe, which a Windows file system has not; and two that put
# symbolic links in the lists' place, which Wine cannot make.
skipped=(
  NetsweepRun.FullRunWritesEveryStepsLinesAndTheListsThenASecondChangesNothing
  NetsweepRun.NamesThatCouldBreakAListCountAsNoName
  NetsweepRun.AFreshMarkerEndsTheRunAtOnceAnOldOneIsRenewed
  NetsweepRun.MissingListsAreEmptyAFileThatCannotBeReadStopsTheRun
  NetsweepRun.TheListsAreReplacedAsASetOrNotAtAll
  NetsweepRun.TheMarkerAdmitsOneRunAndRefusesAFolderOrALink
)
if [ "$what" = unit ] || [ "$what" = all ]; then
  tests=$drive_c/korvane-tests
  mkdir -p "$tests"
  cp "$build"/tests/unit_tests.exe "$build"/tests/win32_tests.exe "$build"/tests/web_tests.exe \
    "$build"/bin/*.exe "$tests/"
  filter="-$(IFS=:; echo "${skipped[*]}")"
  echo "== unit_tests.exe (Wine)"
  (cd "$tests" && "$wine" 'c:\korvane-tests\unit_tests.exe' --gtest_filter="$filter") || status=1
  echo "== win32_tests.exe (Wine)"
  (cd "$tests" && "$wine" 'c:\korvane-tests\win32_tests.exe' --gtest_filter='-Win32Lab*') ||
    status=1
  echo "== web_tests.exe (Wine)"
  (cd "$tests" && "$wine" 'c:\korvane-tests\web_tests.exe') || status=1
  /usr/lib/wine/wineserver -k 2>/dev/null || true
  /usr/lib/wine/wineserver -w
fi
if [ "$what" = lab ] || [ "$what" = all ]; then
  bash "$here/lab.sh" || status=1
fi
# The web stage comes before the window stage: a serving planner started in
# the prefix after the window stage neither ends at the end of the session
# nor on taskkill's close request (its polls go on), where in a prefix the
# window stage has not used it ends at the end of the session; the cause is
# not found yet. Each stage alone (ctest's windows.* tests) has its prefix.
if [ "$what" = web ] || [ "$what" = all ]; then
  bash "$here/web_test.sh" || status=1
fi
if [ "$what" = window ] || [ "$what" = all ]; then
  bash "$here/window_test.sh" || status=1
fi
if [ "$what" = installer ] || [ "$what" = all ]; then
  bash "$here/installer_test.sh" || status=1
fi
exit "$status"
