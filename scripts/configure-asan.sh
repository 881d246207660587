#!/usr/bin/env bash
# Configures build-asan: the core without widgets and its tests under AddressSanitizer +
# UndefinedBehaviorSanitizer, built with clang so that the fuzz programs
# (which need clang's libFuzzer) are part of it. A build folder that another
# compiler made cannot switch and starts afresh.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ -f build-asan/CMakeCache.txt ] && ! grep -q '^CMAKE_CXX_COMPILER:.*clang++' build-asan/CMakeCache.txt; then
  rm -rf build-asan
fi
cmake -S . -B build-asan -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DMORVIK_GUI=OFF -DMORVIK_BENCH=OFF \
  -DMORVIK_SANITIZE=address -DMORVIK_FUZZ=ON -DMORVIK_TESTS=core
