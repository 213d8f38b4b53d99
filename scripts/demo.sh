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

"$root/scripts/install-deps.sh"
# shellcheck source=demo-session.sh
. "$root/scripts/demo-session.sh"
exe=$(velloran_build_program)

if [ -n "${DISPLAY:-}" ]; then
  velloran_begin_session 64
  echo "== velloran.exe is open; close its window to end the demo"
  wine "$exe" >/dev/null 2>&1
  exit 0
fi

velloran_begin_session 64 x
timeout -k 10 300 wine "$exe" >/dev/null 2>&1 &
velloran_program=$!
window=
for _ in $(seq 600); do
  window=$(velloran_visible_window Velloran) && break
  kill -0 "$velloran_program" 2>/dev/null || { echo "velloran.exe ended without a window" >&2; exit 1; }
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
  kill -0 "$velloran_program" 2>/dev/null || { velloran_program=; break; }
  sleep 0.05
done
