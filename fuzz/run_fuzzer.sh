#!/usr/bin/env bash
# Runs one fuzz program over its corpus for a fixed number of inputs with a
# fixed seed, so a short run is the same every time.
#   run_fuzzer.sh PROGRAM NAME RUNS [libFuzzer options...]
# Options for one program's every run are in options/NAME, its dictionary in
# dict/NAME.dict.
# New inputs the run finds go to $FUZZ_WORK_DIR (kept, to be merged into the
# corpus) or else to a temporary folder that is removed; the corpus in the
# repository is only read. An input that fails is written to the current
# folder as crash-*, leak-* or timeout-*, and the run fails.
set -euo pipefail
program=$1
name=$2
runs=$3
shift 3
here="$(cd "$(dirname "$0")" && pwd)"

work=${FUZZ_WORK_DIR:-}
if [ -z "$work" ]; then
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
fi
mkdir -p "$work"

options=(-seed=1 -runs="$runs" -timeout=10 -print_final_stats=1)
[ -f "$here/dict/$name.dict" ] && options+=(-dict="$here/dict/$name.dict")
# A program's own options: a length limit where longer inputs reach nothing new keeps its runs fast.
if [ -f "$here/options/$name" ]; then
  read -ra extra < "$here/options/$name"
  options+=("${extra[@]}")
fi
"$program" "${options[@]}" "$@" "$work" "$here/corpus/$name"
