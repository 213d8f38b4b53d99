# shellcheck shell=bash
# Sourced: velloran_new_prefix [null|x11] creates a throwaway Wine prefix owned by this shell,
# exports WINEPREFIX and starts its wineserver; velloran_drop_prefix ends the server and removes
# the prefix again. Every Wine step has a time bound: a wedged step fails the run instead of
# hanging it. (timeout runs its command in a process group of its own, which must not touch the
# terminal: hence the </dev/null.)
# shellcheck source=wine-loader.sh
. "$(dirname "${BASH_SOURCE[0]}")/wine-loader.sh"
# shellcheck source=leftovers.sh
. "$(dirname "${BASH_SOURCE[0]}")/leftovers.sh"
export WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

# How long the prefix's wineserver outlives its last program. Long enough to span the gaps
# between tests; a run killed without clean-up leaves no server for long.
velloran_wineserver_lifetime=120

# Callers test the status: under `||` bash ignores `set -e` inside functions.
velloran_new_prefix() {
  local driver=${1:-null} status=0
  WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/velloran-wine.XXXXXX") || return 1
  export WINEPREFIX
  velloran_own "$WINEPREFIX" || return 1
  # Into a file: wineboot leaves a wineserver behind that would keep a pipe open.
  timeout -k 10 300 wineboot -i </dev/null >"$WINEPREFIX/.wineboot.log" 2>&1 || status=$?
  if [ $status -ne 0 ]; then
    echo "could not make a Wine prefix in $WINEPREFIX: wineboot ended with status $status" \
      "$([ $status -eq 124 ] && echo '(no answer within 300 s)')" >&2
    tail -n 20 "$WINEPREFIX/.wineboot.log" >&2
    return 1
  fi
  if [ "$driver" = null ]; then
    # Wine's null display driver: windows, message boxes and hooks work without any X server.
    timeout -k 10 60 wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f \
      </dev/null >/dev/null 2>&1 ||
      { echo "could not choose Wine's null display driver" >&2; return 1; }
  fi
  # The mark the Windows test executables need before they touch the registry.
  timeout -k 10 60 wine reg add 'HKCU\Software\Velloran Test Prefix' /v Throwaway /d yes /f \
    </dev/null >/dev/null 2>&1 ||
    { echo "could not mark $WINEPREFIX as a throwaway test prefix" >&2; return 1; }
  timeout -k 10 60 wineserver -w ||
    { echo "the wineserver of $WINEPREFIX did not end" >&2; return 1; }
  # Started here, not inside a test: a wineserver started by a test would hold CTest's pipes.
  wineserver "-p$velloran_wineserver_lifetime" || return 1
  timeout -k 10 60 wine cmd /c exit </dev/null >/dev/null 2>&1 ||
    { echo "Wine does not start programs in $WINEPREFIX" >&2; return 1; }
}

# Only a prefix this shell made: never one that came in through the environment.
velloran_drop_prefix() {
  if [ -n "${WINEPREFIX:-}" ] && velloran_owned_here "$WINEPREFIX"; then
    timeout -k 5 30 wineserver -k 2>/dev/null || true
    timeout -k 5 30 wineserver -w 2>/dev/null || true
    rm -rf "$WINEPREFIX"
  fi
}
