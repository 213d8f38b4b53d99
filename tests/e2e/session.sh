# shellcheck shell=bash
# Its e2e_ variables are read by the scripts that source it.
# shellcheck disable=SC2034
# Sourced by the end-to-end scripts: a private X server with a window manager, a throwaway Wine
# prefix using the X11 driver, and helpers that poll with a bound instead of sleeping.
# e2e_begin VELLORAN_EXE PROBE_EXE VIEW sets it all up and removes it again on every exit path,
# even when CTest kills the script.
set -euo pipefail

e2e_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
# shellcheck source=../../scripts/wine-prefix.sh
. "$e2e_root/scripts/wine-prefix.sh"
# shellcheck source=../../scripts/x-session.sh
. "$e2e_root/scripts/x-session.sh"
# shellcheck source=../../scripts/wine-programs.sh
. "$e2e_root/scripts/wine-programs.sh"

readonly e2e_helper_object_key='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Explorer\Browser Helper Objects'

e2e_pids=()
# Carried by the program under test and every program it starts, and by nothing else: what it
# leaves running is found by this mark, and all of it is reported.
e2e_mark=VELLORAN_E2E_RUN=$$.$RANDOM
# The prefix CTest's other tests share is never ours to kill or remove, even when setting up
# our own fails half-way.
unset WINEPREFIX

e2e_end() {
  local status=$?
  if [ $status -ne 0 ] && [ -n "${DISPLAY:-}" ] && [ -n "${VELLORAN_XVFB_PID:-}" ]; then
    local shot
    shot="$PWD/$(basename "$0" .sh)-failure.png"
    import -window root "$shot" 2>/dev/null && echo "screen at the failure: $shot" >&2
  fi
  local pid
  for pid in "${e2e_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  velloran_drop_prefix
  velloran_stop_x
  [ -n "${e2e_work:-}" ] && rm -rf "$e2e_work"
  exit $status
}

# VELLORAN_EXE PROBE_EXE VIEW: VIEW is the registry view the executable sees, 64 or 32.
e2e_begin() {
  e2e_exe=$1
  e2e_probe_exe=$2
  e2e_view=$3
  trap e2e_end EXIT
  trap 'exit 130' INT TERM
  velloran_clean_stale
  velloran_watch_leftovers
  e2e_work=$(mktemp -d "${TMPDIR:-/tmp}/velloran-e2e.XXXXXX")
  velloran_own "$e2e_work"
  velloran_start_x
  velloran_new_prefix x11
}

e2e_fail() {
  echo "FAILED: $*" >&2
  exit 1
}

# SECONDS COMMAND...: runs COMMAND every 50 ms until it succeeds; fails after SECONDS.
e2e_poll() {
  local limit=$1
  shift
  local deadline=$((SECONDS + limit))
  until "$@"; do
    [ $SECONDS -lt $deadline ] || return 1
    sleep 0.05
  done
}

# One Wine step, with a bound: a wedged one fails the test rather than running into CTest's.
e2e_wine() {
  timeout -k 5 60 wine "$@" </dev/null
}

# wine's own reg.exe is 32-bit once Debian's wine32 is installed: the view is always named.
e2e_reg() {
  e2e_wine reg "$@" "/reg:$e2e_view" 2>/dev/null | tr -d '\r'
  return "${PIPESTATUS[0]}"
}

e2e_key_exists() {
  e2e_wine reg query "$1" "/reg:$e2e_view" >/dev/null 2>&1
}

e2e_key_missing() {
  ! e2e_key_exists "$1"
}

# Reads the program's window from inside Wine (see probe/WindowProbe.cpp).
e2e_probe() {
  e2e_wine "$e2e_probe_exe" Velloran "$@" 2>/dev/null | tr -d '\r'
  return "${PIPESTATUS[0]}"
}

# EXE: starts it in the background; its standard output and errors go to the work folder.
e2e_start() {
  env "$e2e_mark" timeout -k 5 300 wine "$1" >"$e2e_work/program.log" 2>&1 &
  e2e_pids+=($!)
  e2e_program_pid=$!
}

e2e_wait_main_window() {
  local deadline=$((SECONDS + 30))
  until e2e_main_window_id=$(velloran_visible_window Velloran); do
    [ $SECONDS -lt $deadline ] || e2e_fail "the main window did not appear"
    kill -0 "$e2e_program_pid" 2>/dev/null || e2e_fail "the program ended: $(cat "$e2e_work/program.log")"
    sleep 0.05
  done
}


# The names of the windows on the screen, one per line.
e2e_visible_windows() {
  local window
  for window in $(xdotool search --onlyvisible --name . 2>/dev/null); do
    xdotool getwindowname "$window" 2>/dev/null || true
  done | sort
}

e2e_tools_running() {
  velloran_wine_programs "$e2e_mark" | grep -i ' regsvr32\.exe$'
}

# A listing that cannot look finds no tool: that is not the same as none running.
e2e_no_tool_running() {
  local programs
  programs=$(velloran_wine_programs "$e2e_mark") || return 1
  ! grep -qi ' regsvr32\.exe$' <<<"$programs"
}

# After a removal: every registration tool it started ends by itself, and no window but the
# program's own appeared. A tool waiting on a box would keep its server file loaded for ever.
e2e_expect_tools_ended() {
  e2e_poll 10 e2e_no_tool_running ||
    e2e_fail "the registration tool is still running: $(e2e_tools_running | tr '\n' ' ')" \
      "windows shown: $(e2e_visible_windows | tr '\n' ' ')"
  local other
  # The main window and the application window, which carries the title in lower case.
  other=$(e2e_visible_windows | grep -vx -e Velloran -e velloran || true)
  [ -z "$other" ] || e2e_fail "windows other than the program's own appeared: $other"
}

e2e_program_ended() {
  ! kill -0 "$e2e_program_pid" 2>/dev/null
}

# Closes the program's own window, as its close button does (never whichever window is active:
# another program's box may be), and expects the program, and every program it started, to end.
e2e_close_program() {
  e2e_probe close || e2e_fail "could not close the main window"
  e2e_poll 10 e2e_program_ended || e2e_fail "the program did not end"
  velloran_wine_programs_end "$e2e_mark" 10 ||
    e2e_fail "left running: $(velloran_wine_programs "$e2e_mark" | tr '\n' ' ')"
}
