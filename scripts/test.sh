#!/usr/bin/env bash
# Sets up the machine, builds Morvik II and runs every test, each test built
# once in the build whose checks it needs: the normal build with the program,
# its widget tests (on Qt's offscreen platform, with the leak checker) and the
# program under X; everything without widgets under AddressSanitizer +
# UndefinedBehaviorSanitizer (built with clang) with a short run of each fuzz
# program; the tests that run port threads, and the program's logic on Qt's
# loop, under ThreadSanitizer. Prints how long each stage took.
set -euo pipefail
cd "$(dirname "$0")/.."

jobs=$(nproc)
timings=()
# Runs one stage and notes its time.
stage() {
  local name=$1 start=$SECONDS
  shift
  echo "== $name"
  "$@"
  timings+=("$(printf '%-22s %4d s' "$name" $((SECONDS - start)))")
}
report() {
  echo "== Time per stage"
  printf '%s\n' "${timings[@]}"
  printf '%-22s %4d s\n' "all" "$SECONDS"
}
trap report EXIT

stage "install packages" bash scripts/install-deps.sh

# The compiler cache pays only where the machine keeps one: on a fresh machine
# caching every object of three builds costs a fifth of their time and is
# never used. A first run makes the cache's folder, so later runs fill and use it.
cache_dir=$(ccache -k cache_dir 2>/dev/null || true)
if [ -z "$cache_dir" ] || [ ! -d "$cache_dir" ]; then
  export CCACHE_DISABLE=1
  [ -n "$cache_dir" ] && mkdir -p "$cache_dir"
  echo "== compiler cache: none kept on this machine yet, not used in this run"
fi

configure_and_build() { cmake -S . -B "$1" -G Ninja "${@:2}" >/dev/null && cmake --build "$1" -j "$jobs"; }
# The ASan+UBSan build has its own configure script (clang, the fuzz programs).
build_asan() { bash scripts/configure-asan.sh >/dev/null && cmake --build build-asan -j "$jobs"; }
# run_tests DIR [COMMAND PREFIX...]
# Many tests wait on real time (the simulator, the command line): two more than
# the cores keeps the processors busy.
run_tests() { (cd "$1" && "${@:2}" ctest --output-on-failure -j $((jobs + 2))); }

stage "program: build" configure_and_build build -DMORVIK_TESTS=program
stage "program: tests" run_tests build
stage "ASan+UBSan: build" build_asan
stage "ASan+UBSan: tests" run_tests build-asan
stage "TSan: build" configure_and_build build-tsan -DMORVIK_GUI=OFF -DMORVIK_BENCH=OFF -DMORVIK_SANITIZE=thread \
  -DMORVIK_CLI=OFF -DMORVIK_TESTS=threads
# TSan's shadow memory needs a fixed address layout; setarch -R turns off
# address randomisation for the test processes.
stage "TSan: tests" run_tests build-tsan setarch "$(uname -m)" -R

echo "All tests passed."
