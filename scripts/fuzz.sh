#!/usr/bin/env bash
# Fuzzes listings and removals over the stand-in registry for the given number of seconds
# (default 600): scripts/fuzz.sh [seconds]. Inputs that make it fail are written to
# build/fuzz/findings/; once the fault is mended, such an input belongs in tests/fuzz/corpus/,
# which scripts/test.sh replays.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-600}
"$root/scripts/install-deps.sh" clang-14 libclang-rt-14-dev

dir=${VELLORAN_BUILD_DIR:-$root/build}/fuzz
mkdir -p "$dir/corpus" "$dir/findings"
cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang-14 \
  -DCMAKE_CXX_COMPILER=clang++-14 -DVELLORAN_FUZZ=ON -DVELLORAN_SANITIZE=ON \
  >"$dir.configure.log" 2>&1 || { cat "$dir.configure.log"; exit 1; }
cmake --build "$dir" --target removal_fuzzer -j 2 >"$dir.build.log" 2>&1 ||
  { tail -n 60 "$dir.build.log"; exit 1; }
# New inputs go to the first folder; the corpus in the repository is only read.
"$dir/tests/fuzz/removal_fuzzer" -max_total_time="$seconds" -print_final_stats=1 \
  -artifact_prefix="$dir/findings/" "$dir/corpus" "$root/tests/fuzz/corpus"
