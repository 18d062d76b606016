#!/usr/bin/env bash
# Runs the notification tests of gui_tests against a real notification
# server of their own: an Xvfb display, a private D-Bus session bus and dunst
# on them; then, on a second private bus without dunst, against a service
# of the test's own that holds the notifications' name and never answers.
# All gone at the end. Skipped (77) when one of them is missing.
#   notify_session.sh GUI_TESTS
set -euo pipefail
tests=${1:?gui_tests attendu}
for program in Xvfb dbus-daemon dunst dunstctl; do
  command -v "$program" >/dev/null || { echo "$program absent : test sauté" >&2; exit 77; }
done
work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# A display number nobody uses.
display=90
while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do display=$((display + 1)); done
Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
pids+=($!)
export DISPLAY=":$display"

dbus-daemon --session --nofork --print-address=3 3>"$work/bus" >"$work/dbus.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/bus" ] && break; sleep 0.05; done
DBUS_SESSION_BUS_ADDRESS=$(head -n 1 "$work/bus")
export DBUS_SESSION_BUS_ADDRESS

# dunst with its defaults, its own configuration folder.
export XDG_CONFIG_HOME=$work/config
mkdir -p "$XDG_CONFIG_HOME"
for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.05; done
dunst >"$work/dunst.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do dunstctl is-paused >/dev/null 2>&1 && break; sleep 0.05; done
dunstctl is-paused >/dev/null || { cat "$work/dunst.log" >&2; exit 1; }

status=0
KORVANE_NOTIFY_SESSION=1 QT_QPA_PLATFORM=offscreen "$tests" --gtest_filter='DesktopNotice.*' ||
  status=$?

# A second bus, with no dunst: the test's own silent service takes the
# notifications' name there.
dbus-daemon --session --nofork --print-address=3 3>"$work/bus2" >"$work/dbus2.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/bus2" ] && break; sleep 0.05; done
DBUS_SESSION_BUS_ADDRESS=$(head -n 1 "$work/bus2") KORVANE_SILENT_NOTIFY_SESSION=1 \
  QT_QPA_PLATFORM=offscreen "$tests" --gtest_filter='DesktopNotice.AServiceThatNeverAnswers*' ||
  status=$?
exit "$status"
