#!/usr/bin/env bash
# Builds and tests every configuration: native, native under AddressSanitizer and
# UndefinedBehaviorSanitizer, and the Windows builds for x86_64 and i686 under Wine.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
. "$root/scripts/wine-prefix.sh"

build=${VELLORAN_BUILD_DIR:-$root/build}
jobs=$(nproc)
summaries=()
failed=0
trap velloran_drop_prefix EXIT

run_configuration() {
  local name=$1 kind=$2
  shift 2
  local dir=$build/$name
  echo "== $name: configure and build"
  cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >"$dir.configure.log" 2>&1 ||
    { cat "$dir.configure.log"; return 1; }
  cmake --build "$dir" -j "$jobs" >"$dir.build.log" 2>&1 || { tail -n 60 "$dir.build.log"; return 1; }
  echo "== $name: test"
  if [ "$kind" = windows ]; then velloran_new_prefix null; fi
  local status=0
  ctest --test-dir "$dir" -j "$jobs" --output-on-failure 2>&1 | tee "$dir.test.log" || status=1
  grep -q '100% tests passed' "$dir.test.log" || status=1
  if [ "$kind" = windows ]; then velloran_drop_prefix; fi
  summaries+=("$name: $(grep -E 'tests passed|tests failed' "$dir.test.log" | tail -n 1)")
  # What the differential test and the fuzz replay counted; CTest keeps passing tests' output
  # only in its log.
  while IFS= read -r line; do summaries+=("  $line"); done < <(
    grep -hE '^(differential|fuzz replay): ' "$dir/Testing/Temporary/LastTest.log" | tr -d '\r')
  return $status
}

mkdir -p "$build"
run_configuration native native || failed=1
run_configuration native-sanitize native -DVELLORAN_SANITIZE=ON || failed=1
run_configuration windows-x86_64 windows -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64.cmake" || failed=1
run_configuration windows-i686 windows -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" || failed=1

echo "== CTest summary"
printf '%s\n' "${summaries[@]}"
exit $failed
