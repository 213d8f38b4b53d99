#!/usr/bin/env bash
# Builds and tests the configurations named, every one when none is: native, native-sanitize
# (AddressSanitizer and UndefinedBehaviorSanitizer), and the Windows builds windows-x86_64 and
# windows-i686 under Wine. Where Wine cannot run 32-bit programs (the host cannot, the 32-bit
# loader could not be installed, or VELLORAN_NO_32BIT=1) windows-i686 is built and its
# velloran.exe checked, and the summary says why its tests were skipped.
# Usage: scripts/test.sh [native|native-sanitize|windows-x86_64|windows-i686 ...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
configurations=("$@")
[ $# -gt 0 ] || configurations=(native native-sanitize windows-x86_64 windows-i686)
for name in "${configurations[@]}"; do
  case $name in
    native | native-sanitize | windows-x86_64 | windows-i686) ;;
    *)
      echo "unknown configuration $name:" \
        "choose from native native-sanitize windows-x86_64 windows-i686" >&2
      exit 2
      ;;
  esac
done

"$root/scripts/install-deps.sh"
# After install-deps.sh: the Wine loader it chose.
# shellcheck source=wine-prefix.sh
. "$root/scripts/wine-prefix.sh"
velloran_clean_stale
trap velloran_drop_prefix EXIT
trap 'exit 130' INT TERM

build=${VELLORAN_BUILD_DIR:-$root/build}
jobs=$(nproc)
summaries=()
failed=0

# NAME MACHINE(native|x86-64|i386) CMAKE_ARGUMENTS...
run_configuration() {
  local name=$1 machine=$2
  shift 2
  local dir=$build/$name
  echo "== $name: configure and build"
  cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >"$dir.configure.log" 2>&1 ||
    { cat "$dir.configure.log"; summaries+=("$name: configure failed"); return 1; }
  cmake --build "$dir" -j "$jobs" >"$dir.build.log" 2>&1 ||
    { tail -n 60 "$dir.build.log"; summaries+=("$name: build failed"); return 1; }
  if [ "$machine" != native ]; then
    "$root/scripts/check-exe.sh" "$dir/app/velloran.exe" "$dir/app/velloran.map" "$machine" ||
      { summaries+=("$name: velloran.exe failed its check"); return 1; }
    if [ "$machine" = i386 ] && [ "$VELLORAN_WINE_32BIT" = no ]; then
      summaries+=("$name: skipped: $VELLORAN_WINE_32BIT_REASON (built and checked)")
      return 0
    fi
    velloran_new_prefix null || { summaries+=("$name: no Wine prefix to test in"); return 1; }
  fi
  echo "== $name: test"
  local status=0
  ctest --test-dir "$dir" -j "$jobs" --output-on-failure 2>&1 | tee "$dir.test.log" || status=1
  grep -q '100% tests passed' "$dir.test.log" || status=1
  velloran_drop_prefix
  summaries+=("$name: $(grep -E 'tests passed|tests failed' "$dir.test.log" | tail -n 1 ||
    echo "no test summary, see $dir.test.log")")
  # What the differential test and the fuzz replay counted; CTest keeps passing tests' output
  # only in its log.
  while IFS= read -r line; do summaries+=("  $line"); done < <(
    grep -hE '^(differential|fuzz replay): ' "$dir/Testing/Temporary/LastTest.log" | tr -d '\r')
  return $status
}

mkdir -p "$build"
for name in "${configurations[@]}"; do
  case $name in
    native) run_configuration native native || failed=1 ;;
    native-sanitize) run_configuration native-sanitize native -DVELLORAN_SANITIZE=ON || failed=1 ;;
    windows-x86_64)
      run_configuration windows-x86_64 x86-64 \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64.cmake" || failed=1
      ;;
    windows-i686)
      run_configuration windows-i686 i386 \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" || failed=1
      ;;
  esac
done

echo "== CTest summary"
printf '%s\n' "${summaries[@]}"
exit $failed
