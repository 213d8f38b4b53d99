#!/usr/bin/env bash
# Time from starting velloran.exe under Wine to its main window being mapped and viewable on a
# private X server (Xvfb with openbox), on the demo registry. The first start warms the prefix up
# and is not counted. Prints each run's figure and the median; asserts nothing.
# Usage: scripts/bench-startup.sh [VELLORAN_EXE] [RUNS]   (builds the 64-bit program without one)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
runs=${2:-7}
exe=${1:-}
# Before the session's scripts are sourced: they follow the Wine loader it chooses.
"$root/scripts/install-deps.sh"
# shellcheck source=demo-session.sh
. "$root/scripts/demo-session.sh"
[ -n "$exe" ] || exe=$(velloran_build_program)
view=64
# A 32-bit program reads the 32-bit registry view (PE machine field 0x14c).
if [ "$(od -An -tx2 -j "$(($(od -An -tu4 -j 60 -N 4 "$exe") + 4))" -N 2 "$exe" | tr -d ' ')" = 014c ]; then
  view=32
fi
velloran_begin_session "$view" x >/dev/null

viewable() {
  local window
  window=$(velloran_visible_window Velloran) &&
    xwininfo -id "$window" | grep -q 'Map State: IsViewable' && echo "$window"
}

# Prints the milliseconds from the start to the viewable main window, then closes the program.
one_start() {
  local start window=
  start=$(date +%s%N)
  timeout -k 10 300 wine "$exe" >/dev/null 2>&1 &
  velloran_program=$!
  until window=$(viewable); do
    kill -0 "$velloran_program" 2>/dev/null || { echo "velloran.exe ended without a window" >&2; exit 1; }
    [ $(($(date +%s%N) - start)) -lt 60000000000 ] || { echo "no window within 60 s" >&2; exit 1; }
    sleep 0.005
  done
  echo $((($(date +%s%N) - start) / 1000000))
  xdotool windowactivate --sync "$window" key alt+F4 >/dev/null 2>&1 || kill "$velloran_program"
  wait "$velloran_program" 2>/dev/null || true
  velloran_program=
}

echo "warm-up start: $(one_start) ms"
figures=()
for run in $(seq "$runs"); do
  figures+=("$(one_start)")
  echo "run $run: ${figures[-1]} ms"
done
median=$(printf '%s\n' "${figures[@]}" | sort -n | awk '{ a[NR] = $1 } END {
  print (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2 }')
echo "median of $runs starts: $median ms"
