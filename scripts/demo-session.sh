# shellcheck shell=bash
# Sourced by demo.sh and bench-startup.sh: the 64-bit program built for them, and a session in
# which to run it: a throwaway prefix holding the demo registry, on a private X server when there
# is no display, all of it ended again on every way out.
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# shellcheck source=wine-prefix.sh
. "$root/scripts/wine-prefix.sh"
# shellcheck source=x-session.sh
. "$root/scripts/x-session.sh"

# The program started in the background, ended with the session.
velloran_program=

# Builds velloran.exe for 64-bit Windows and prints its path; what else it says goes to stderr.
velloran_build_program() {
  local build=${VELLORAN_BUILD_DIR:-$root/build}/windows-x86_64
  echo "== building velloran.exe in $build" >&2
  mkdir -p "$build"
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64.cmake" >"$build.configure.log" 2>&1 ||
    { cat "$build.configure.log" >&2; return 1; }
  cmake --build "$build" --target velloran -j 2 >"$build.build.log" 2>&1 ||
    { tail -n 60 "$build.build.log" >&2; return 1; }
  echo "$build/app/velloran.exe"
}

# VIEW(64|32) [x]: the prefix with the demo registry in that view; with x, on a private X server.
velloran_begin_session() {
  local view=$1 x=${2:-}
  velloran_clean_stale
  trap velloran_end_session EXIT
  trap 'exit 130' INT TERM
  if [ "$view" = 32 ] && [ "$VELLORAN_WINE_32BIT" = no ]; then
    echo "Wine runs no 32-bit programs here: $VELLORAN_WINE_32BIT_REASON" >&2
    return 1
  fi
  if [ -n "$x" ]; then velloran_start_x || return 1; fi
  echo "== making a throwaway Wine prefix with the demo registry"
  velloran_new_prefix x11 || return 1
  timeout -k 10 60 wine reg import "$root/scripts/demo-registry.reg" "/reg:$view" \
    </dev/null >/dev/null 2>&1 ||
    { echo "could not import the demo registry" >&2; return 1; }
}

velloran_end_session() {
  if [ -n "$velloran_program" ]; then kill "$velloran_program" 2>/dev/null || true; fi
  velloran_drop_prefix
  velloran_stop_x
}
