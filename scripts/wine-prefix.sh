# Sourced: velloran_new_prefix [null|x11] creates a throwaway Wine prefix, exports WINEPREFIX
# and starts its wineserver; velloran_drop_prefix removes it again.
export WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

velloran_new_prefix() {
  local driver=${1:-null}
  WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/velloran-wine.XXXXXX")
  export WINEPREFIX
  wineboot -i >/dev/null 2>&1
  if [ "$driver" = null ]; then
    # Wine's null display driver: windows, message boxes and hooks work without any X server.
    wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
  fi
  # The mark the Windows test executables need before they touch the registry.
  wine reg add 'HKCU\Software\Velloran Test Prefix' /v Throwaway /d yes /f >/dev/null 2>&1
  wineserver -w
  # Started here, not inside a test: a wineserver started by a test would hold CTest's pipes.
  wineserver -p
  wine cmd /c exit >/dev/null 2>&1
}

velloran_drop_prefix() {
  if [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ]; then
    wineserver -k 2>/dev/null || true
    rm -rf "$WINEPREFIX"
  fi
}
