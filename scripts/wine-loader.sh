# shellcheck shell=bash
# Sourced: chooses the Wine loader once for every Wine step of the scripts, the tests and the
# demo. Debian's `wine` launcher picks the 32-bit loader whenever wine32 is installed, but some
# kernels are built without 32-bit support and refuse it ("Exec format error"). On such a host
# every step goes through the 64-bit loader instead: wine64-only/ comes first on PATH, for `wine`
# itself and for the launchers that call `wine-stable` (wineboot, ...). VELLORAN_NO_32BIT=1 takes
# that path on any host, so that it can be tried where 32-bit programs do run.

# Succeeds when this host runs 32-bit x86 programs: tried, not read from the package list.
velloran_host_runs_32bit() {
  [ "${VELLORAN_NO_32BIT:-0}" != 1 ] || return 1
  if [ -x /usr/lib/wine/wine ]; then
    timeout 30 /usr/lib/wine/wine --version >/dev/null 2>&1
    return
  fi
  # Before wine32 is installed: the smallest static i386 program, which only exits with 42.
  local program status=0
  program=$(mktemp "${TMPDIR:-/tmp}/velloran-i386.XXXXXX") || return 1
  # shellcheck disable=SC2059
  printf "$(sed 's/../\\x&/g' <<<'7f454c46010101000000000000000000020003000100000054800408'\
'340000000000000000000000340020000100000000000000010000000000000000800408'\
'0080040860000000600000000500000000100000b801000000bb2a000000cd80')" >"$program"
  chmod +x "$program"
  timeout 30 "$program" >/dev/null 2>&1 || status=$?
  rm -f "$program"
  [ $status -eq 42 ]
}

if [ "${VELLORAN_NO_32BIT:-0}" = 1 ]; then
  VELLORAN_WINE_32BIT=no
elif [ -z "${VELLORAN_WINE_32BIT:-}" ]; then
  VELLORAN_WINE_32BIT=no
  if velloran_host_runs_32bit; then VELLORAN_WINE_32BIT=yes; fi
fi
# Exported: CTest's emulator and the end-to-end scripts, started below this shell, follow the
# same choice without trying again.
export VELLORAN_WINE_32BIT
if [ "$VELLORAN_WINE_32BIT" = no ]; then
  export WINELOADER=/usr/lib/wine/wine64
  velloran_wine64_only=$(cd "$(dirname "${BASH_SOURCE[0]}")/wine64-only" && pwd)
  case ":$PATH:" in
    *":$velloran_wine64_only:"*) ;;
    *) export PATH="$velloran_wine64_only:$PATH" ;;
  esac
fi
