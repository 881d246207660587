#!/usr/bin/env bash
# Sets up the machine, builds Morvik II and runs every test: the normal build
# (with the GUI, widgets on Qt's offscreen platform), the core under
# AddressSanitizer + UndefinedBehaviorSanitizer, and the core under ThreadSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

jobs=$(nproc)

cmake -S . -B build -G Ninja
cmake --build build -j "$jobs"
(cd build && ctest --output-on-failure -j "$jobs")

cmake -S . -B build-asan -G Ninja -DMORVIK_GUI=OFF -DMORVIK_BENCH=OFF -DMORVIK_SANITIZE=address
cmake --build build-asan -j "$jobs"
(cd build-asan && ctest --output-on-failure -j "$jobs")

# TSan's shadow memory needs a fixed address layout; setarch -R turns off
# address randomisation for the test processes.
cmake -S . -B build-tsan -G Ninja -DMORVIK_GUI=OFF -DMORVIK_BENCH=OFF -DMORVIK_SANITIZE=thread
cmake --build build-tsan -j "$jobs"
(cd build-tsan && setarch "$(uname -m)" -R ctest --output-on-failure -j "$jobs")

echo "All tests passed."
