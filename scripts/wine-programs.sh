# shellcheck shell=bash
# Sourced: the processes that carry a mark in their environment (a mark a test run set): Wine
# passes the environment on to every program a program starts, so a program started by a test
# carries the test's mark too, whether Wine shows its command line with a drive path
# (C:\windows\notepad.exe), as the bare name it was started by (regsvr32 /s -u ...) or as a Unix
# path. Every one is reported but wineserver and Wine's named services, which Wine starts and
# ends by itself. A check that cannot look fails: it never counts as having found nothing.

# MARK: prints "PID PROGRAM" for each such process, PROGRAM being the file name its command line
# starts with (regsvr32.exe, notepad, sleep). Fails when it cannot read processes' environments.
velloran_wine_programs() {
  local dir pid command program
  # Our own process is always there to read: without it the listing below would find nothing
  # because it could not look.
  [ -r "/proc/$BASHPID/environ" ] || { echo "cannot read the processes in /proc" >&2; return 2; }
  for dir in /proc/[0-9]*; do
    pid=${dir#/proc/}
    # A process that ends meanwhile is not read: the listing goes on with the next.
    grep -qzxF -- "$1" "$dir/environ" 2>/dev/null || continue
    # Wine shows a Windows program's own command line as its process's arguments.
    command=$(tr '\0' ' ' 2>/dev/null <"$dir/cmdline") || true
    case $command in
      \"*)
        program=${command#\"}
        program=${program%%\"*}
        ;;
      *) program=${command%% *} ;;
    esac
    program=${program##*[\\/]}
    case ${program,,} in
      wineserver | wineserver64 | services.exe | winedevice.exe | plugplay.exe | svchost.exe | \
        rpcss.exe | explorer.exe | conhost.exe) ;;
      '') echo "$pid (ended or ending)" ;;
      *) echo "$pid $program" ;;
    esac
  done
}

# MARK SECONDS: waits until no such process runs, and fails when one still does after SECONDS.
# Nothing is left only when two listings in a row find nothing: a program being started between
# two processes' reads can slip one listing.
velloran_wine_programs_end() {
  local deadline=$((SECONDS + $2)) empty=0 left
  while :; do
    left=$(velloran_wine_programs "$1") || return 1
    if [ -z "$left" ]; then
      empty=$((empty + 1))
      [ $empty -lt 2 ] || return 0
    else
      empty=0
      [ $SECONDS -lt $deadline ] || return 1
    fi
    sleep 0.1
  done
}
