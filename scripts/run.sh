#!/usr/bin/env bash
# Sets up the machine, builds Morvik II and starts it. Until the main program
# is built, this starts the RX57 module simulator on 127.0.0.1:8000.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -G Ninja
cmake --build build -j "$(nproc)"

if [ -x build/bin/morvik2 ]; then
  exec build/bin/morvik2
fi
echo "Starting the RX57 module simulator on 127.0.0.1:8000 (Ctrl+C ends it)."
exec build/bin/rx57-sim --tcp 127.0.0.1:8000
