# shellcheck shell=bash
# Sourced: velloran_start_x starts a private X server (Xvfb, 1024x768, 24-bit colour) with the
# openbox window manager and exports DISPLAY; velloran_stop_x ends both. Without a window manager
# Wine's windows get no focus and keyboard input goes to whatever lies under the pointer.
# Xvfb picks its own free display number (-displayfd), so parallel runs never race for one.
# Both are recorded in a folder this shell owns, so that a later run ends them should this one be
# killed before its clean-up (see leftovers.sh).
# shellcheck source=leftovers.sh
. "$(dirname "${BASH_SOURCE[0]}")/leftovers.sh"

velloran_start_x() {
  VELLORAN_X_DIR=$(mktemp -d "${TMPDIR:-/tmp}/velloran-x.XXXXXX") || return 1
  velloran_own "$VELLORAN_X_DIR" || return 1
  local number_file=$VELLORAN_X_DIR/display
  # Every output is redirected: a server holding a caller's pipe keeps CTest waiting.
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$number_file" </dev/null >/dev/null 2>&1 &
  VELLORAN_XVFB_PID=$!
  velloran_record_process "$VELLORAN_X_DIR" "$VELLORAN_XVFB_PID"
  local tries=0
  until [ -s "$number_file" ]; do
    tries=$((tries + 1))
    if [ $tries -gt 200 ] || ! kill -0 "$VELLORAN_XVFB_PID" 2>/dev/null; then
      echo "Xvfb did not start" >&2
      return 1
    fi
    sleep 0.05
  done
  DISPLAY=":$(head -n 1 "$number_file")"
  export DISPLAY

  # It usually starts in a fifth of a second, but one start in many dozens on Debian 13 never
  # announced itself within 30 s: a second start is tried before giving up, saying what openbox
  # said and whether it had ended.
  local attempt log=$VELLORAN_X_DIR/openbox.log
  for attempt in 1 2; do
    openbox </dev/null >"$log" 2>&1 &
    VELLORAN_WM_PID=$!
    velloran_record_process "$VELLORAN_X_DIR" "$VELLORAN_WM_PID"
    if velloran_wait_for_wm; then return 0; fi
    echo "openbox did not start (attempt $attempt; $(kill -0 "$VELLORAN_WM_PID" 2>/dev/null &&
      echo "still running" || echo "it ended")): $(tail -n 5 "$log")" >&2
    kill "$VELLORAN_WM_PID" 2>/dev/null || true
    wait "$VELLORAN_WM_PID" 2>/dev/null || true
  done
  return 1
}

# openbox announces itself on the root window once it manages windows. Generous: on a loaded
# two-core machine it has been seen to take over ten seconds.
velloran_wait_for_wm() {
  local tries=0
  until xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; do
    tries=$((tries + 1))
    if [ $tries -gt 600 ] || ! kill -0 "$VELLORAN_WM_PID" 2>/dev/null; then
      return 1
    fi
    sleep 0.05
  done
}

velloran_stop_x() {
  local pid
  for pid in ${VELLORAN_WM_PID:-} ${VELLORAN_XVFB_PID:-}; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  VELLORAN_WM_PID=
  VELLORAN_XVFB_PID=
  if [ -n "${VELLORAN_X_DIR:-}" ] && velloran_owned_here "$VELLORAN_X_DIR"; then
    rm -rf "$VELLORAN_X_DIR"
  fi
  VELLORAN_X_DIR=
}

# WINDOW: prints the geometry of the window manager's frame around it (the top-level ancestor
# below the root), as WxH+X+Y, for cropping screenshots.
velloran_frame_geometry() {
  local window=$1 parent root
  root=$(xwininfo -root | awk '/Window id:/ { print $4 }')
  while parent=$(xwininfo -id "$window" -tree | awk '/Parent window id:/ { print $4 }') &&
    [ -n "$parent" ] && [ "$parent" != "$root" ]; do
    window=$parent
  done
  xwininfo -id "$window" | awk '
    /Absolute upper-left X/ { x = $NF } /Absolute upper-left Y/ { y = $NF }
    /Width:/ { w = $NF } /Height:/ { h = $NF }
    END { printf "%dx%d+%d+%d\n", w, h, x, y }'
}

# NAME: prints the mapped X window whose name is exactly NAME, if there is one. xdotool matches
# names without regard to case, and the program's application window may carry the same text in
# other case.
velloran_visible_window() {
  local window
  for window in $(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null); do
    if [ "$(xdotool getwindowname "$window" 2>/dev/null)" = "$1" ]; then
      echo "$window"
      return 0
    fi
  done
  return 1
}

# GEOMETRY FILE: saves that part of the screen as a PNG once two captures in a row are the same,
# so that a window manager's late redraw (the activated frame) or a late paint is in the picture.
velloran_settled_screenshot() {
  local geometry=$1 file=$2 previous current tries=0
  previous=$(import -window root -crop "$geometry" +repage rgb:- | md5sum)
  while current=$(import -window root -crop "$geometry" +repage rgb:- | md5sum) &&
    [ "$current" != "$previous" ] && [ $tries -lt 40 ]; do
    previous=$current
    tries=$((tries + 1))
  done
  import -window root -crop "$geometry" +repage "$file"
}
