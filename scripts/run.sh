#!/usr/bin/env bash
# Sets up the machine, builds Morvik II and starts it against the RX57 module
# simulator: the simulator serves 127.0.0.1:8000 in the background (unless
# something already listens there), the port directory and the settings get an
# entry for it when there are none, and the program starts with that entry
# selected. Press OK in the "Communication Port" dialog to reach the module.
set -euo pipefail
cd "$(dirname "$0")/.."

sim_host=127.0.0.1
sim_port=8000

bash scripts/install-deps.sh
cmake -S . -B build -G Ninja
cmake --build build -j "$(nproc)"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display available: Morvik II is a desktop program and needs a graphical session." >&2
  echo "Without one, run it on a virtual X display instead:  xvfb-run -a bash scripts/run.sh" >&2
  exit 1
fi

listening() { (exec 3<>"/dev/tcp/$sim_host/$sim_port") 2>/dev/null; }

sim_pid=""
stop_simulator() { [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null; true; }
trap stop_simulator EXIT

if listening; then
  echo "Something already listens on $sim_host:$sim_port; using it as the module."
else
  echo "Starting the RX57 module simulator on $sim_host:$sim_port."
  build/bin/rx57-sim --tcp "$sim_host:$sim_port" >build/rx57-sim.log 2>&1 &
  sim_pid=$!
  for _ in $(seq 50); do
    listening && break
    kill -0 "$sim_pid" 2>/dev/null || { echo "The simulator did not start; see build/rx57-sim.log." >&2; exit 1; }
    sleep 0.1
  done
  listening || { echo "The simulator does not answer on $sim_host:$sim_port." >&2; exit 1; }
fi

# The program keeps its files beside itself, or in the per-user folder when
# it cannot write there.
folder=build/bin
if [ ! -w "$folder" ]; then
  folder="${XDG_CONFIG_HOME:-$HOME/.config}/morvik2"
  mkdir -p "$folder"
fi
if [ ! -e "$folder/DectPort.ini" ]; then
  printf '[Port]\r\nNo=2\r\nAddr1=%s\r\nPort1=%s\r\nComment1=RX57 simulator (rx57-sim)\r\nAddr2=Com1\r\nPort2=\r\nComment2=first serial port\r\n\r\n' \
    "$sim_host" "$sim_port" >"$folder/DectPort.ini"
fi
if [ ! -e "$folder/morvik2.ini" ]; then
  printf '[Common]\r\nViewMode=1\r\nViewMonitor=1\r\n\r\n[Communication]\r\nWinSocket=1\r\nPort=1\r\nWS_IP=%s\r\nWS_Port=%s\r\n\r\n' \
    "$sim_host" "$sim_port" >"$folder/morvik2.ini"
fi

build/bin/morvik2
