# shellcheck shell=bash
# Sourced: what a run leaves in the temporary folder (Wine prefixes, X sessions, work folders)
# is a velloran-* folder holding a record of the shell that owns it. A run killed before its own
# clean-up leaves its folder behind; velloran_clean_stale removes such folders once their owner
# has ended, with the processes and the wineserver they recorded. Other checkouts run the tests
# at the same time on the same machine, so a folder whose owner still runs is never touched.

# PID: prints the process's start time, which tells it apart from a later process given the
# same number; nothing when no such process runs.
velloran_start_time() {
  sed -n 's/.*) //p' "/proc/$1/stat" 2>/dev/null | cut -d' ' -f20
}

# "PID START": succeeds while that very process runs.
velloran_alive() {
  local pid start
  read -r pid start <<<"$1"
  [ -n "$pid" ] && [ -n "$start" ] && [ "$(velloran_start_time "$pid")" = "$start" ]
}

# DIR: records this shell as DIR's owner. Renamed into place, so a reader never sees half a record.
velloran_own() {
  echo "$$ $(velloran_start_time $$)" >"$1/.velloran-owner.new" &&
    mv "$1/.velloran-owner.new" "$1/.velloran-owner"
}

# DIR: succeeds when this shell owns DIR.
velloran_owned_here() {
  [ -f "$1/.velloran-owner" ] && [ "$(cat "$1/.velloran-owner")" = "$$ $(velloran_start_time $$)" ]
}

# DIR PID: records a process that belongs to DIR, to be ended with it.
velloran_record_process() {
  echo "$2 $(velloran_start_time "$2")" >>"$1/.velloran-processes"
}

velloran_clean_stale() {
  local dir record
  for dir in "${TMPDIR:-/tmp}"/velloran-*; do
    # Folders without a record (being made right now, or from older scripts) are left alone.
    if [ ! -O "$dir" ] || [ ! -f "$dir/.velloran-owner" ] ||
      velloran_alive "$(cat "$dir/.velloran-owner")"; then
      continue
    fi
    if [ -f "$dir/.velloran-processes" ]; then
      while read -r record; do
        if velloran_alive "$record"; then kill "${record%% *}" 2>/dev/null || true; fi
      done <"$dir/.velloran-processes"
    fi
    if [[ $dir == */velloran-wine.* ]]; then
      WINEPREFIX=$dir timeout 30 wineserver -k >/dev/null 2>&1 || true
      WINEPREFIX=$dir timeout 30 wineserver -w >/dev/null 2>&1 || true
    fi
    rm -rf "$dir" 2>/dev/null || true
  done
}

velloran_leftovers_script=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/leftovers.sh

# Starts a watcher that runs velloran_clean_stale once this shell has ended, however it ended.
# CTest ends a test that overruns its time with SIGKILL, which no trap sees, and kills only the
# processes below the test: the wineserver, which detaches itself, and the prefix would stay.
# The watcher runs in a session of its own, so that neither that kill nor one aimed at this
# shell's process group reaches it.
velloran_watch_leftovers() {
  # shellcheck disable=SC2016
  setsid -f bash -c '
    . "$1"
    trap "" INT TERM HUP
    while velloran_alive "$2"; do sleep 1; done
    velloran_clean_stale' watcher "$velloran_leftovers_script" "$$ $(velloran_start_time $$)" \
    </dev/null >/dev/null 2>&1
}
