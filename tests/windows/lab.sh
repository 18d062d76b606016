#!/usr/bin/env bash
# The Windows programs under Wine against the simulated LAN; called by run.sh
# (already in a private network and mount namespace, the Wine prefix made).
# A lab of its own comes up; Wine runs in its admin namespace, where its
# server, and with it every socket and echo request of the programs, lives.
#   netsweep.exe                 a whole run in c:\korvane, through Wine's
#                                cmd.exe and the stand-ins of ipconfig,
#                                nbtstat and arp, its lists checked (h3
#                                asleep: its name comes from the caches),
#                                in a console (a pseudo-terminal) whose code
#                                page is the French 850: its accents read right;
#   win32_tests.exe Win32Lab*    hostping.exe, the wake-up batch (wolcmd.exe
#                                wakes the sleeping h3), the shutdown batch
#                                and its follow-up check; those of an entry
#                                named with accents (h4 asleep); a sweep's
#                                verdicts when the admin's own stack reports
#                                silent addresses unreachable.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${KORVANE_WIN_BUILD:?}
wine=${KORVANE_WINE:?}
drive_c=$WINEPREFIX/drive_c
export KORVANE_LAB=kw$$
export KORVANE_LABHOST=${KORVANE_LABHOST:-$root/build/tests/labhost}
lab=$root/scripts/lab.sh

mkdir -p "$drive_c/korvane" "$drive_c/korvane-tests"
cp "$build"/bin/*.exe "$drive_c/korvane/"
cp "$build"/bin/*.exe "$build/tests/win32_tests.exe" "$drive_c/korvane-tests/"

cleanup() {
  "$lab" exec /usr/lib/wine/wineserver -k >/dev/null 2>&1 || true
  /usr/lib/wine/wineserver -w 2>/dev/null || true
  "$lab" down >/dev/null 2>&1 || true
}
trap cleanup EXIT
. "$root/scripts/lab-lock.sh"  # the kernel's neighbour table, shared with every lab
lab_hold_neighbours shared
"$lab" up >/dev/null
"$lab" sleep h3

status=0
check() {  # what, expected, actual
  if [ "$2" = "$3" ]; then echo "ok   $1"; else
    echo "ÉCHEC $1"; diff <(printf '%s\n' "$2") <(printf '%s\n' "$3") || true; status=1; fi
}

echo "== netsweep.exe (Wine, laboratoire)"
# Korvane creates its lists empty at its first start, before it starts netsweep.
for list in liste.ip liste.mac liste.ip.discover localGM krv.ini; do
  : > "$drive_c/korvane/$list"
done
# Wine's console draws on the terminal with control sequences: a cursor
# step stands for a blank, the others go.
screen() { sed -e 's/\x1b\[1C/ /g' -e 's/\x1b\[[0-9;?]*[A-Za-z]//g' -e 's/\r//g' "$1"; }
printf -v in_console '%q ' "$lab" exec "$wine" 'c:\korvane\netsweep.exe'
(cd "$drive_c/korvane" && script -qec "$in_console" /dev/null >netsweep.out) || status=1
check "console : accents" "le réseau est : 198.18.0.0" \
  "$(screen "$drive_c/korvane/netsweep.out" | grep -a -o 'le r.*seau est : [0-9.]*' | head -n 1)"
lists() { tr -d '\r' < "$drive_c/korvane/$1" 2>/dev/null || echo "(absent)"; }
check "liste.ip" "$(cat "$here/netsweep-liste.ip")" "$(lists liste.ip)"
check "liste.mac" "$(cat "$here/netsweep-liste.mac")" "$(lists liste.mac)"
check "netsweep.lck retiré" "absent" "$([ -e "$drive_c/korvane/netsweep.lck" ] && echo présent || echo absent)"

"$lab" sleep h4
# The admin machine gives up asking for a silent address within a probe's
# time-out, as the Linux lab tests make it: its own "unreachable" report must
# count as no answer.
"$lab" exec sh -c 'echo 50 >/proc/sys/net/ipv4/neigh/eth0/retrans_time_ms
                   echo 3 >/proc/sys/net/ipv4/neigh/eth0/mcast_solicit'
echo "== win32_tests.exe Win32Lab* (Wine, laboratoire)"
(cd "$drive_c/korvane-tests" && KORVANE_WINE_LAB=1 "$lab" exec "$wine" \
   'c:\korvane-tests\win32_tests.exe' --gtest_filter='Win32Lab*') || status=1

exit "$status"
