#!/usr/bin/env bash
# CTest's emulator for the Windows builds (cmake/mingw-common.cmake): runs a test program under
# Wine with the loader this host can run, so that CTest behaves the same in a developer's shell
# and in scripts/test.sh. Each test's TIMEOUT bounds it.
set -euo pipefail
# shellcheck source=wine-loader.sh
. "$(dirname "$0")/wine-loader.sh"
exec wine "$@"
