#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, and any named as arguments, when
# some are missing; and chooses, once for the whole run, whether Wine may use its 32-bit loader.
#
# A package mirror in the middle of a sync is a normal day. A refresh of the package indexes that
# fails is tried again, and then only warned about as long as every package we need can still be
# had: the run fails only when a needed package cannot be installed, and names it. The 32-bit Wine
# loader is installed on its own, after the rest; when it cannot be, the run takes the 64-bit
# path exactly as on a host that cannot run 32-bit programs. The choice and its reason go to
# wine-loader.choice in the build folder, which wine-loader.sh follows.
#
# Exit status: 0; 75, with one line saying why, when a needed package cannot be installed
# because the archive could not be reached or refused a download; 1 for any other failure, such
# as a name the archive's index does not know, which is a mistake of ours.
# Usage: scripts/install-deps.sh [PACKAGE...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=debian-archive.sh
. "$root/scripts/debian-archive.sh"
build=${VELLORAN_BUILD_DIR:-$root/build}
choice_file=$build/wine-loader.choice
log=$build/install-deps.log
# Seconds between tries, and how long another package manager may hold its lock.
pause=${VELLORAN_APT_PAUSE:-10}
lock_wait=900

needed=(
  cmake make g++ valgrind libgtest-dev libbenchmark-dev googletest libboost-dev
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix binutils-mingw-w64-x86-64 binutils-mingw-w64-i686
  wine wine64
  xvfb xdotool openbox imagemagick x11-utils
  shellcheck zip
)
needed+=("$@")  # what one script needs beyond the rest, e.g. the fuzzer's compiler
loader32=wine32:i386

warn() { echo "install-deps: warning: $*" >&2; }
fail() {
  echo "install-deps: $*" >&2
  exit 1
}

installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'
}

# Without a terminal a password prompt would wait for ever: sudo only where it needs none.
as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo -n)
can_be_root() {
  [ ${#as_root[@]} -eq 0 ] || sudo -n true 2>/dev/null
}

# apt-get ARGUMENTS...: as root and without questions; its output goes to the log, the last
# command's also to $log.last. While another package manager holds the lock, waits for it.
apt_get() {
  local deadline=$((SECONDS + lock_wait)) status said=no
  while :; do
    status=0
    "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive \
      apt-get -q -o DPkg::Lock::Timeout=60 "$@" >"$log.last" 2>&1 </dev/null || status=$?
    cat "$log.last" >>"$log"
    if [ $status -ne 0 ] && [ $SECONDS -lt $deadline ] &&
      grep -qE 'Could not get lock|Unable to (acquire|lock)' "$log.last"; then
      [ $said = yes ] || echo "install-deps: waiting for another package manager to finish" >&2
      said=yes
      sleep "$pause"
      continue
    fi
    return $status
  done
}

# PACKAGE...: succeeds when all of them could be installed from the indexes as they are now.
can_install() {
  apt-get install -s -q --no-install-recommends "$@" >/dev/null 2>&1 </dev/null
}

# What the last apt-get command said went wrong: its errors and warnings, then the first of the
# unmet dependencies it found, if any.
apt_errors() {
  {
    grep -E '^(E|W):' "$log.last" || true
    awk '/unmet dependencies:/ { block = 1; next } block && /^ / { print; next } { block = 0 }' \
      "$log.last" | head -n 4
  } | sed 's/^/  /' >&2
}

refreshed=no
# Whether a refresh of the indexes has succeeded in this run: else a name they lack may only be
# missing because they could not be fetched.
indexes_fetched=no
# PACKAGE...: refreshes the package indexes, trying again after a pause while any of the packages
# cannot be had. A refresh that fails only for indexes none of them needs (another architecture,
# a suite that holds none of them) is a warning.
refresh() {
  local try
  for try in 1 2 3; do
    if apt_get update; then
      refreshed=yes
      indexes_fetched=yes
      return 0
    fi
    if can_install "$@"; then
      warn "some package indexes could not be refreshed; going on, as none of them is needed:"
      apt_errors
      refreshed=yes
      return 0
    fi
    [ $try -eq 3 ] || sleep "$pause"
  done
  warn "the package indexes could not be refreshed"
  return 1
}

# PACKAGE...: installs them, refreshing the indexes again between tries: a mirror caught between
# its indexes and its packages answers with missing files for a while.
install_needed() {
  local try
  for try in 1 2 3; do
    if [ $try -gt 1 ]; then
      sleep "$pause"
      refresh "$@" || true
    fi
    apt_get install -y --no-install-recommends "$@" && return 0
  done
  return 1
}

# PACKAGE...: after a failed install, fails the run naming those that cannot be installed. An
# install can fail for another package's sake (a broken script of an unrelated package) after
# every needed one went in: what is installed decides, not apt-get's status.
name_uninstallable() {
  local p culprits=() left=() unknown=()
  for p in "$@"; do
    installed "$p" && continue
    left+=("$p")
    if ! apt-get install -s -q --no-install-recommends "$p" >"$log.simulated" 2>&1 </dev/null; then
      culprits+=("$p")
      if grep -qE 'Unable to locate package|has no installation candidate' "$log.simulated"; then
        unknown+=("$p")
      fi
    fi
  done
  if [ ${#left[@]} -eq 0 ]; then
    warn "apt-get failed, but every needed package is installed; going on:"
    apt_errors
    return 0
  fi
  # Each can be had alone, only not all together (or their files could not be fetched).
  [ ${#culprits[@]} -gt 0 ] || culprits=("${left[@]}")
  apt_errors
  if [ ${#unknown[@]} -gt 0 ] && [ $indexes_fetched = yes ]; then
    fail "a needed package cannot be installed: ${unknown[*]} (the package index does not" \
      "know it; apt-get's whole output: $log)"
  fi
  if velloran_archive_said_no "$log"; then
    echo "install-deps: not tested: the package archive could not be reached or refused a" \
      "download; needed: ${culprits[*]} (apt-get's whole output: $log)" >&2
    exit 75
  fi
  fail "a needed package cannot be installed: ${culprits[*]} (apt-get's whole output: $log)"
}

# Prints yes when this host runs 32-bit x86 programs, no when it does not, and unknown when
# nothing can be executed where the probe was written. Tried, not read from the package list.
# The probe lies in the build folder, where the native tests run too: a temporary folder may be
# mounted noexec, which would look like a kernel without 32-bit support.
probe_32bit() {
  local program canary status=0
  program=$(mktemp "$build/.i386-probe.XXXXXX") || { echo unknown; return; }
  # The smallest static i386 program, which only exits with 42.
  local elf='7f454c46010101000000000000000000020003000100000054800408' i
  elf+='340000000000000000000000340020000100000000000000010000000000000000800408'
  elf+='0080040860000000600000000500000000100000b801000000bb2a000000cd80'
  for ((i = 0; i < ${#elf}; i += 2)); do printf '%b' "\\x${elf:i:2}"; done >"$program"
  chmod +x "$program"
  timeout 30 "$program" >/dev/null 2>&1 || status=$?
  if [ $status -eq 42 ]; then
    echo yes
  else
    canary=$program.sh
    printf '#!/bin/sh\nexit 42\n' >"$canary"
    chmod +x "$canary"
    status=0
    timeout 30 "$canary" >/dev/null 2>&1 || status=$?
    rm -f "$canary"
    if [ $status -eq 42 ]; then echo no; else echo unknown; fi
  fi
  rm -f "$program"
}

loader_runs() {
  timeout 30 /usr/lib/wine/wine --version >/dev/null 2>&1
}

# Installs the 32-bit Wine loader, once, with no second try: the run does without it.
install_loader() {
  local added=no
  if ! can_be_root; then
    warn "installing the 32-bit Wine loader needs root, and sudo -n cannot give it"
    return 1
  fi
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    "${as_root[@]}" dpkg --add-architecture i386 || return 1
    added=yes
    refreshed=no
  fi
  [ $refreshed = yes ] || refresh || true
  echo "== installing the 32-bit Wine loader ($loader32)"
  if apt_get install -y --no-install-recommends "$loader32"; then
    return 0
  fi
  warn "the 32-bit Wine loader could not be installed:"
  apt_errors
  # An i386 architecture added for nothing would make every later refresh fetch its indexes.
  if [ $added = yes ]; then
    "${as_root[@]}" dpkg --remove-architecture i386 >/dev/null 2>&1 || true
  fi
  return 1
}

mkdir -p "$build"
: >"$log"

missing=()
for p in "${needed[@]}"; do
  installed "$p" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  can_be_root || fail "cannot install ${missing[*]}: that needs root; run this as root, or where" \
    "sudo works without a password (sudo -n)"
  echo "== installing ${missing[*]}"
  if ! refresh "${missing[@]}" || ! install_needed "${missing[@]}"; then
    name_uninstallable "${missing[@]}"
  fi
fi

# The choice of the Wine loader. A parent script (bench.sh runs release.sh) has made it already.
reason=
if [ "${VELLORAN_NO_32BIT:-0}" = 1 ]; then
  choice=no
  reason="VELLORAN_NO_32BIT=1"
elif [ -n "${VELLORAN_WINE_32BIT:-}" ]; then
  choice=$VELLORAN_WINE_32BIT
  reason=${VELLORAN_WINE_32BIT_REASON:-}
elif installed "$loader32"; then
  choice=yes
  loader_runs || { choice=no; reason="this host cannot run 32-bit programs"; }
else
  choice=no
  # Where the probe cannot run at all, the installed loader, under /usr, tells.
  case $(probe_32bit) in
    no) reason="this host cannot run 32-bit programs" ;;
    *)
      if ! install_loader; then
        reason="the 32-bit Wine loader could not be installed"
      elif loader_runs; then
        choice=yes
      else
        reason="this host cannot run 32-bit programs"
      fi
      ;;
  esac
fi
printf '%s\n%s\n' "$choice" "$reason" >"$choice_file.new"
mv -f "$choice_file.new" "$choice_file"
if [ "$choice" = no ]; then
  echo "== Wine runs with its 64-bit loader only: $reason"
fi
