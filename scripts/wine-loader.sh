# shellcheck shell=bash
# Sourced: the Wine loader for every Wine step of the scripts, the tests and the demo. Debian's
# `wine` launcher picks the 32-bit loader whenever wine32 is installed, but some kernels are built
# without 32-bit support and refuse it ("Exec format error"), and on some days the 32-bit loader
# cannot be installed at all. Then every step goes through the 64-bit loader: wine64-only/ comes
# first on PATH, for `wine` itself and for the launchers that call `wine-stable` (wineboot, ...).
#
# install-deps.sh makes the choice, once, and leaves it with its reason in wine-loader.choice in
# the build folder; exported from here, it reaches CTest's emulator and the end-to-end scripts
# too. A build folder made by hand has no such file: there the 32-bit loader is used when it runs.
# VELLORAN_NO_32BIT=1 takes the 64-bit path on any host.

if [ "${VELLORAN_NO_32BIT:-0}" = 1 ]; then
  VELLORAN_WINE_32BIT=no
  VELLORAN_WINE_32BIT_REASON="VELLORAN_NO_32BIT=1"
elif [ -z "${VELLORAN_WINE_32BIT:-}" ]; then
  velloran_choice=${VELLORAN_BUILD_DIR:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/build}
  velloran_choice+=/wine-loader.choice
  VELLORAN_WINE_32BIT_REASON=
  if [ -f "$velloran_choice" ]; then
    { read -r VELLORAN_WINE_32BIT && read -r VELLORAN_WINE_32BIT_REASON; } <"$velloran_choice" || true
  elif timeout 30 /usr/lib/wine/wine --version >/dev/null 2>&1; then
    VELLORAN_WINE_32BIT=yes
  elif [ -e /usr/lib/wine/wine ]; then
    VELLORAN_WINE_32BIT=no
    VELLORAN_WINE_32BIT_REASON="this host cannot run 32-bit programs"
  else
    VELLORAN_WINE_32BIT=no
    VELLORAN_WINE_32BIT_REASON="the 32-bit Wine loader is not installed"
  fi
  unset velloran_choice
fi
# Anything but a clear yes takes the path that works on every host.
if [ "${VELLORAN_WINE_32BIT:-}" != yes ]; then
  VELLORAN_WINE_32BIT_REASON=${VELLORAN_WINE_32BIT_REASON:-VELLORAN_WINE_32BIT=${VELLORAN_WINE_32BIT:-}}
  VELLORAN_WINE_32BIT=no
fi
VELLORAN_WINE_32BIT_REASON=${VELLORAN_WINE_32BIT_REASON:-}
export VELLORAN_WINE_32BIT VELLORAN_WINE_32BIT_REASON
if [ "$VELLORAN_WINE_32BIT" = no ]; then
  export WINELOADER=/usr/lib/wine/wine64
  velloran_wine64_only=$(cd "$(dirname "${BASH_SOURCE[0]}")/wine64-only" && pwd)
  case ":$PATH:" in
    *":$velloran_wine64_only:"*) ;;
    *) export PATH="$velloran_wine64_only:$PATH" ;;
  esac
fi
