# shellcheck shell=bash
# Sourced: the Windows programs running under Wine that carry a mark in their environment (a
# prefix's WINEPREFIX=..., or a mark a test run set): Wine passes the environment on to every
# program a program starts, so a program started by a test carries the test's mark too. Wine's
# own services, which Wine starts and ends by itself, are left out.

# MARK: prints "PID PROGRAM" for each such program, PROGRAM being its file name (regsvr32.exe).
velloran_wine_programs() {
  local environ pid program
  for environ in /proc/[0-9]*/environ; do
    pid=${environ#/proc/}
    pid=${pid%/environ}
    tr '\0' '\n' 2>/dev/null <"$environ" | grep -qxF -- "$1" || continue
    # Wine shows a Windows program's own command line as its process's arguments.
    program=$(tr '\0' ' ' 2>/dev/null <"/proc/$pid/cmdline" |
      sed -nE 's/^"?([A-Za-z]:\\[^"]*\.[Ee][Xx][Ee]).*/\1/p')
    program=${program##*\\}
    case ${program,,} in
      '' | services.exe | winedevice.exe | plugplay.exe | svchost.exe | rpcss.exe | explorer.exe | \
        conhost.exe) ;;
      *) echo "$pid $program" ;;
    esac
  done
}

# MARK SECONDS: waits until no such program runs, and fails when one still does after SECONDS.
velloran_wine_programs_end() {
  local deadline=$((SECONDS + $2))
  while [ -n "$(velloran_wine_programs "$1")" ]; do
    [ $SECONDS -lt $deadline ] || return 1
    sleep 0.1
  done
}
