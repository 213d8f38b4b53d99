#!/usr/bin/env bash
# Time from starting velloran.exe under Wine to its main window being mapped and viewable on a
# private X server (Xvfb with openbox), on the demo registry. The first start warms the prefix up
# and is not counted. Prints each run's figure and the median; asserts nothing. Given other
# programs for the same registry view too (an earlier build, say), the starts take turns between
# them, so that the machine's changing load weighs on each alike, and each gets its median.
# Usage: scripts/bench-startup.sh [VELLORAN_EXE [RUNS [OTHER_EXE...]]]
#   (builds the 64-bit program without one)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
runs=${2:-7}
exe=${1:-}
others=("${@:3}")
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

# EXE: prints the milliseconds from its start to the viewable main window, then closes it.
one_start() {
  local start window=
  start=$(date +%s%N)
  timeout -k 10 300 wine "$1" >/dev/null 2>&1 &
  velloran_program=$!
  until window=$(viewable); do
    kill -0 "$velloran_program" 2>/dev/null || { echo "$1 ended without a window" >&2; exit 1; }
    [ $(($(date +%s%N) - start)) -lt 60000000000 ] || { echo "no window within 60 s" >&2; exit 1; }
    sleep 0.005
  done
  echo $((($(date +%s%N) - start) / 1000000))
  xdotool windowactivate --sync "$window" key alt+F4 >/dev/null 2>&1 || kill "$velloran_program"
  wait "$velloran_program" 2>/dev/null || true
  velloran_program=
}

programs=("$exe" "${others[@]}")
for program in "${programs[@]}"; do
  echo "warm-up start${others[*]:+ of $program}: $(one_start "$program") ms"
done
figures=()  # "PROGRAM_INDEX MILLISECONDS"
for run in $(seq "$runs"); do
  for index in "${!programs[@]}"; do
    figure=$(one_start "${programs[index]}")
    figures+=("$index $figure")
    echo "run $run${others[*]:+ of ${programs[index]}}: $figure ms"
  done
done
for index in "${!programs[@]}"; do
  median=$(printf '%s\n' "${figures[@]}" | awk -v i="$index" '$1 == i { print $2 }' | sort -n |
    awk '{ a[NR] = $1 } END { print (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2 }')
  echo "median of $runs starts${others[*]:+ of ${programs[index]}}: $median ms"
done
