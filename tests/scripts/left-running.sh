#!/usr/bin/env bash
# A Windows test that leaves a program running in the Wine prefix (a registration tool waiting on
# a box nobody answers) would hold CTest's output pipe until CTest's timeout. CTest's emulator
# must instead fail the test soon after it ends, name the program, and end it.
# Usage: left-running.sh WINE_RUN_SCRIPT   (in the Wine prefix CTest's tests share)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
# shellcheck source=../../scripts/wine-programs.sh
. "$root/scripts/wine-programs.sh"
status=0
output=$(VELLORAN_LEFT_RUNNING_GRACE=1 timeout 60 "$1" cmd /c start notepad.exe 2>&1) || status=$?
echo "$output"
[ $status -eq 1 ] || { echo "FAILED: the run ended with status $status, not 1" >&2; exit 1; }
grep -q 'left running.*notepad\.exe' <<<"$output" ||
  { echo "FAILED: the program left running was not named" >&2; exit 1; }
velloran_wine_programs_end "WINEPREFIX=$WINEPREFIX" 10 ||
  { echo "FAILED: still running: $(velloran_wine_programs "WINEPREFIX=$WINEPREFIX")" >&2; exit 1; }
