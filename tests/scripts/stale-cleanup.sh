#!/usr/bin/env bash
# The clean-up of what killed runs left behind deletes folders and ends processes on a machine
# where other checkouts run their tests at the same time. It must take only the folders of runs
# that have ended, end only the very processes they recorded (not a later process that was given
# the same number), and never remove a prefix this shell did not make.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
TMPDIR=$(mktemp -d)
export TMPDIR
sleepers=()
trap 'kill "${sleepers[@]}" 2>/dev/null || true; rm -rf "$TMPDIR"' EXIT
# shellcheck source=../../scripts/wine-prefix.sh
. "$root/scripts/wine-prefix.sh"

fail() {
  echo "FAILED: $*" >&2
  exit 1
}

# Starts a background process and sets `record` to its record.
sleeper() {
  sleep 300 >/dev/null 2>&1 &
  sleepers+=($!)
  record="$! $(velloran_start_time $!)"
}

# NAME OWNER_RECORD: a folder as a run makes it.
left_folder() {
  mkdir "$TMPDIR/$1"
  echo "$2" >"$TMPDIR/$1/.velloran-owner"
}

sleeper
left_folder velloran-wine.live "$record"

sleeper
ended_owner=$record
kill "${ended_owner%% *}"
wait "${ended_owner%% *}" 2>/dev/null || true
left_folder velloran-x.ended "$ended_owner"
sleeper
its_server=$record
echo "$its_server" >"$TMPDIR/velloran-x.ended/.velloran-processes"
# The number of a recorded process that ended, now another process's.
sleeper
reused=$record
echo "${reused%% *} 1" >>"$TMPDIR/velloran-x.ended/.velloran-processes"

mkdir "$TMPDIR/velloran-e2e.unrecorded"

velloran_clean_stale

[ -d "$TMPDIR/velloran-wine.live" ] || fail "removed the folder of a run that still runs"
[ -d "$TMPDIR/velloran-e2e.unrecorded" ] || fail "removed a folder without an owner record"
[ ! -e "$TMPDIR/velloran-x.ended" ] || fail "kept the folder of a run that has ended"
sleep 0.2
! kill -0 "${its_server%% *}" 2>/dev/null || fail "left running a process an ended run recorded"
kill -0 "${reused%% *}" 2>/dev/null || fail "ended a process that only reuses a recorded number"

# A prefix that came in through the environment (a developer's own) is not ours to remove.
mkdir -p "$TMPDIR/own-wine"
WINEPREFIX=$TMPDIR/own-wine velloran_drop_prefix
[ -d "$TMPDIR/own-wine" ] || fail "removed a prefix this shell did not make"
WINEPREFIX=$TMPDIR/velloran-wine.live velloran_drop_prefix
[ -d "$TMPDIR/velloran-wine.live" ] || fail "removed another run's prefix"
echo "stale clean-up: took only the ended run's folder and its own process"
