#!/usr/bin/env bash
# Builds velloran.exe (64-bit) and opens it under Wine on a demo registry
# (scripts/demo-registry.reg) in a throwaway prefix. With a display the window opens for you, and
# the prefix is removed once you close it. Without one the program runs on a private X server; a
# screenshot of its window is saved (to the given path, or into the build folder) and its path
# printed.
# Usage: scripts/demo.sh [SCREENSHOT.png]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
screenshot=$(realpath -m "${1:-${VELLORAN_BUILD_DIR:-$root/build}/main-window.png}")
build=${VELLORAN_BUILD_DIR:-$root/build}/windows-x86_64

"$root/scripts/install-deps.sh"
echo "== building velloran.exe in $build"
mkdir -p "$build"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64.cmake" >"$build.configure.log" 2>&1 ||
  { cat "$build.configure.log"; exit 1; }
cmake --build "$build" --target velloran -j 2 >"$build.build.log" 2>&1 ||
  { tail -n 60 "$build.build.log"; exit 1; }
exe=$build/app/velloran.exe

. "$root/scripts/wine-prefix.sh"
. "$root/scripts/x-session.sh"
program=
cleanup() {
  if [ -n "$program" ]; then kill "$program" 2>/dev/null || true; fi
  velloran_drop_prefix
  velloran_stop_x
}
trap cleanup EXIT
trap 'exit 130' INT TERM

headless=
if [ -z "${DISPLAY:-}" ]; then
  headless=yes
  velloran_start_x
fi
echo "== making a throwaway Wine prefix with the demo registry"
velloran_new_prefix x11
wine reg import "$root/scripts/demo-registry.reg" /reg:64 >/dev/null 2>&1

if [ -z "$headless" ]; then
  echo "== velloran.exe is open; close its window to end the demo"
  wine "$exe" >/dev/null 2>&1
  exit 0
fi

wine "$exe" >/dev/null 2>&1 &
program=$!
window=
for _ in $(seq 600); do
  window=$(velloran_visible_window Velloran) && break
  kill -0 "$program" 2>/dev/null || { echo "velloran.exe ended without a window" >&2; exit 1; }
  sleep 0.05
done
[ -n "$window" ] || { echo "velloran.exe showed no window within 30 s" >&2; exit 1; }
# openbox activates a new window shortly after mapping it; the picture shows it active.
for _ in $(seq 100); do
  [ "$(xdotool getactivewindow 2>/dev/null)" = "$window" ] && break
  sleep 0.05
done
mkdir -p "$(dirname "$screenshot")"
velloran_settled_screenshot "$(velloran_frame_geometry "$window")" "$screenshot"
echo "$screenshot"
xdotool windowactivate --sync "$window" key alt+F4
for _ in $(seq 200); do
  kill -0 "$program" 2>/dev/null || { program=; break; }
  sleep 0.05
done
