#!/usr/bin/env bash
# A Windows test that leaves a program running in the Wine prefix (a registration tool waiting on
# a box nobody answers) would hold CTest's output pipe until CTest's timeout. CTest's emulator
# must instead fail the test soon after it ends, name the program, and end it: also a program
# whose command line names no drive, as when a program starts another by its bare name.
# Usage: left-running.sh WINE_RUN_SCRIPT   (in the Wine prefix CTest's tests share)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
# shellcheck source=../../scripts/wine-programs.sh
. "$root/scripts/wine-programs.sh"
# Everything the emulator starts carries it, so that what it leaves can be found by it alone.
mark=VELLORAN_LEFT_RUNNING_TEST=$$.$RANDOM

fail() {
  echo "FAILED: $*" >&2
  exit 1
}

# NAME COMMAND...: the emulator runs COMMAND, which leaves NAME running; the run must fail naming
# it, and nothing it started may be left running.
expect_named() {
  local name=$1 status=0 output
  shift
  output=$(env "$mark" VELLORAN_LEFT_RUNNING_GRACE=1 timeout 60 "$wine_run" "$@" 2>&1) || status=$?
  echo "$output"
  [ $status -eq 1 ] || fail "the run of $* ended with status $status, not 1"
  grep -qF " $name (pid " <<<"$output" || fail "the program left running, $name, was not named"
  velloran_wine_programs_end "$mark" 10 || fail "still running: $(velloran_wine_programs "$mark")"
}

wine_run=$1
expect_named notepad.exe cmd /c start notepad.exe
# cmd starts notepad by the name typed, as the program starts the registration tool by the
# command line it builds: Wine shows that command line, with no drive path in it.
expect_named notepad cmd /c start /b cmd /c notepad
