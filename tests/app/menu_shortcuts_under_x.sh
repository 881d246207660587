#!/usr/bin/env bash
# The real program on an X display (ctest runs this under xvfb-run) against
# rx57-sim: with the keyboard focus in "Device S/N", "Comment" or the monitor's
# command line, Ctrl+Z opens the port dialog and Ctrl+C closes the window.
# Keys come from xdotool, as from a keyboard. Given the leak checker's run-time
# library, the program runs with it, and leaks make it end with status 23.
#   menu_shortcuts_under_x.sh MORVIK2 RX57_SIM [LEAK_CHECKER]
set -euo pipefail
unset QT_QPA_PLATFORM  # real windows on the display, not the offscreen kind
morvik2=$1
simulator=$2
leak_checker=${3:-}
here=$(cd "$(dirname "$0")" && pwd)
bound=300  # tenths of a second for anything to happen, also on a loaded machine

work=$(mktemp -d)
sim_pid=""
program_pid=""
finish() {
  [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null
  rm -rf "$work"
}
trap finish EXIT
fail() {
  echo "FAIL: $*" >&2
  echo "--- the program printed:" >&2
  cat "$work/morvik2.out" >&2 2>/dev/null || true
  exit 1
}

# Waits until the command succeeds, at most $bound tenths of a second.
wait_for() {
  for _ in $(seq "$bound"); do
    "$@" >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  return 1
}
shown() { xdotool search --onlyvisible --name "^$1\$"; }
# Focuses window $1, then presses the keys on their own: chained after the
# focus, xdotool sends them to that window, and when it closes on the press
# the release fails, leaving the key held down and repeating into the next one.
press_in() {
  xdotool windowfocus --sync "$(shown "$1")"
  shift
  xdotool key "$@"
}
logged_since() { tail -n "+$(($1 + 1))" "$work/sim.log" | grep -qF "$2"; }

"$simulator" --tcp 127.0.0.1:0 --log "$work/sim.log" >"$work/sim.out" 2>&1 &
sim_pid=$!
wait_for grep -q '^listening on ' "$work/sim.out" || fail "the simulator did not start"
port=$(sed -n 's/^listening on 127\.0\.0\.1:\([0-9]*\)$/\1/p' "$work/sim.out")

# The program keeps its files beside itself: a copy in its own folder.
cp "$morvik2" "$work/morvik2"
printf '[Port]\r\nNo=1\r\nAddr1=127.0.0.1\r\nPort1=%s\r\nComment1=rx57-sim\r\n' "$port" >"$work/DectPort.ini"
printf '[Common]\r\nViewMonitor=1\r\n\r\n[Communication]\r\nWinSocket=1\r\nWS_IP=127.0.0.1\r\nWS_Port=%s\r\n' \
  "$port" >"$work/morvik2.ini"

# Starts the program, confirms the port dialog and waits for the module to be
# read and idle (the first keep-alive "AT"). The focus starts in "Device S/N",
# three Tab presses before the monitor's command line: a command typed there
# and sent shows that it arrived. Shift+Tab then goes back to the field that is
# $1 Tab presses after "Device S/N".
start_with_focus() {
  local log_start
  log_start=$(wc -l <"$work/sim.log")
  # An empty LD_PRELOAD preloads nothing, and the options then go unread.
  LD_PRELOAD="$leak_checker" LSAN_OPTIONS="suppressions=$here/leak_suppressions.txt" \
    "$work/morvik2" >"$work/morvik2.out" 2>&1 &
  program_pid=$!
  wait_for shown "Communication Port" || fail "no port dialog at start"
  press_in "Communication Port" Return
  wait_for logged_since "$log_start" "< AT{0D}" || fail "the module was not read"
  log_start=$(wc -l <"$work/sim.log")
  press_in "Morvik II" Tab Tab Tab
  xdotool type "ATI2"
  xdotool key Return
  wait_for logged_since "$log_start" "< ATI2{0D}" || fail "the focus did not start in Device S/N"
  for _ in $(seq $((3 - $1))); do xdotool key shift+Tab; done
}

# Ctrl+Z opens the port dialog; it is cancelled, and Ctrl+C ends the program.
expect_port_dialog_then_close() {
  xdotool key ctrl+z
  wait_for shown "Communication Port" || fail "$1: Ctrl+Z did not open the port dialog"
  press_in "Communication Port" Escape
  wait_for eval '! shown "Communication Port"' || fail "$1: the port dialog stays"
  press_in "Morvik II" ctrl+c
  wait_for eval '! kill -0 $program_pid' || fail "$1: Ctrl+C did not close the window"
  local status=0
  wait "$program_pid" || status=$?
  program_pid=""
  [ "$status" -eq 0 ] || fail "$1: the program ended with status $status"
  echo "ok: $1"
}

# What was typed into a device field reaches the store: the focus was there.
stored() { grep -qF "$1"$'\r' "$work/FPSubscript.ini" || fail "the store holds no $1"; }

start_with_focus 0
xdotool type "4711"
expect_port_dialog_then_close "Device S/N"
stored "DEVICE S/N=4711"

start_with_focus 1
xdotool type "Lager 3"
expect_port_dialog_then_close "Comment"
stored "DEVICE COMMENT=Lager 3"

start_with_focus 3
xdotool type "ATI"
expect_port_dialog_then_close "command line"
