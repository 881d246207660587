#!/usr/bin/env bash
# The long fuzz run of one parser: builds its fuzz program in build-asan and
# runs it over its corpus for RUNS inputs (ten million unless given), in one
# process at low priority. Further arguments go to libFuzzer.
#   bash scripts/fuzz-long.sh NAME [RUNS [libFuzzer options...]]
# NAME is one of the programs in fuzz/ (line_matcher, ini_file, profile_listing,
# identity, sim_command_line, sim_module). New inputs collect in
# build-asan/fuzz-work/NAME, from where libFuzzer's -merge=1 can fold them
# into fuzz/corpus/NAME; a failing input is left in build-asan/fuzz-work.
set -euo pipefail
cd "$(dirname "$0")/.."
name=${1:?usage: scripts/fuzz-long.sh NAME [RUNS [libFuzzer options...]]}
runs=${2:-10000000}
shift $(($# < 2 ? $# : 2))

bash scripts/install-deps.sh
bash scripts/configure-asan.sh >/dev/null
cmake --build build-asan -j "$(nproc)" --target "fuzz_$name"

mkdir -p build-asan/fuzz-work
cd build-asan/fuzz-work
FUZZ_WORK_DIR="$PWD/$name" nice bash ../../fuzz/run_fuzzer.sh "../bin/fuzz_$name" "$name" "$runs" "$@"
