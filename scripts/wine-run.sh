#!/usr/bin/env bash
# CTest's emulator for the Windows builds (cmake/mingw-common.cmake): runs a test program under
# Wine with the loader this host can run, so that CTest behaves the same in a developer's shell
# and in scripts/test.sh. Each test's TIMEOUT bounds it.
#
# A program the test started and left running (a registration tool waiting on its box, say)
# would hold CTest's output pipe and keep the test from ever ending: once the test program has
# ended, such a program fails the test by name, after a grace (10 s) for one about to end, and
# is killed. Only processes that carry this run's own mark are ever killed.
set -euo pipefail
# shellcheck source=wine-loader.sh
. "$(dirname "$0")/wine-loader.sh"
# shellcheck source=wine-programs.sh
. "$(dirname "$0")/wine-programs.sh"
grace=${VELLORAN_LEFT_RUNNING_GRACE:-10}
mark=VELLORAN_TEST_RUN=$$.$SECONDS.$RANDOM
status=0
env "$mark" wine "$@" || status=$?
if ! velloran_wine_programs_end "$mark" "$grace"; then
  names=()
  while read -r pid program; do
    names+=("$program (pid $pid)")
    # Looked at again just before: by now the number may be another process's.
    if grep -qzxF -- "$mark" "/proc/$pid/environ" 2>/dev/null; then
      kill -KILL "$pid" 2>/dev/null || true
    fi
  done < <(velloran_wine_programs "$mark")
  echo "FAILED: the test left running in the Wine prefix: ${names[*]}" >&2
  status=1
fi
exit $status
