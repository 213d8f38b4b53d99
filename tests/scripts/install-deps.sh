#!/usr/bin/env bash
# install-deps.sh on the day a package mirror is in the middle of a sync, with stand-ins for
# apt-get, dpkg and dpkg-query first on PATH, so that no real package manager is touched. It must
# wait for another package manager's lock, go on when a refresh fails for an index no needed
# package comes from, take the 64-bit path with the true reason when the 32-bit Wine loader cannot
# be installed, go on when an install fails for an unrelated package's sake, and fail, naming it,
# only when a needed package cannot be installed: "not tested" (75) when the archive could not be
# reached or refused a download, a failure (1) when its index does not know the name.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The run this test belongs to has made its own choice of the Wine loader: it is not ours.
unset VELLORAN_WINE_32BIT VELLORAN_WINE_32BIT_REASON VELLORAN_NO_32BIT
export VELLORAN_APT_PAUSE=0

fail() {
  echo "FAILED: $*" >&2
  exit 1
}

mkdir "$work/bin"
cat >"$work/bin/dpkg-query" <<'STANDIN'
#!/bin/bash
# Every package is installed but those in state/absent.
! grep -qxF -- "${*: -1}" "$STATE/absent" || exit 1
printf 'install ok installed'
STANDIN
cat >"$work/bin/dpkg" <<'STANDIN'
#!/bin/bash
case $1 in
  --print-foreign-architectures) cat "$STATE/architectures" ;;
  --add-architecture) echo "$2" >>"$STATE/architectures" ;;
  --remove-architecture) sed -i "/^$2\$/d" "$STATE/architectures" ;;
esac
STANDIN
cat >"$work/bin/apt-get" <<'STANDIN'
#!/bin/bash
# state/lock-once: the next refresh finds the lock held; state/index-broken: every refresh fails
# for the i386 index of the security suite; state/uninstallable: "package error" lines;
# state/unreachable: the archive's host cannot be resolved; state/refused: its packages are gone.
echo "apt-get $*" >>"$STATE/calls"
simulate=no command= packages=()
for argument; do
  case $argument in
    -s) simulate=yes ;;
    -* | *::*) ;;
    update | install) command=$argument ;;
    *) packages+=("$argument") ;;
  esac
done
if [ "$command" = update ]; then
  if [ -e "$STATE/lock-once" ]; then
    rm "$STATE/lock-once"
    echo "E: Could not get lock /var/lib/apt/lists/lock. It is held by process 4242 (apt-get)"
    exit 100
  fi
  if [ -e "$STATE/unreachable" ]; then
    echo "W: Failed to fetch http://deb.debian.org/debian/dists/trixie/InRelease  Temporary failure resolving 'deb.debian.org'"
    exit 100
  fi
  if [ -e "$STATE/index-broken" ]; then
    echo "E: Failed to fetch http://mirror.example/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz  File has unexpected size (374820 != 376004). Mirror sync in progress?"
    exit 100
  fi
  exit 0
fi
for package in "${packages[@]}"; do
  if [ -e "$STATE/unreachable" ] && grep -qxF -- "$package" "$STATE/absent"; then
    echo "E: Unable to locate package $package"
    exit 100
  fi
  while read -r name error; do
    [ "$name" != "$package" ] || { echo "E: $error"; exit 100; }
  done <"$STATE/uninstallable"
done
if [ $simulate = no ] && [ -e "$STATE/refused" ]; then
  echo "E: Failed to fetch http://deb.debian.org/debian/pool/main/${packages[0]:0:1}/${packages[0]}/${packages[0]}_1.0_amd64.deb  404  Not Found"
  exit 100
fi
[ $simulate = yes ] || for package in "${packages[@]}"; do sed -i "/^$package\$/d" "$STATE/absent"; done
# state/unrelated-broken: the packages install, then another package's script fails.
if [ $simulate = no ] && [ -e "$STATE/unrelated-broken" ]; then
  echo "E: Sub-process /usr/bin/dpkg returned an error code (1)"
  exit 100
fi
STANDIN
cat >"$work/bin/sudo" <<'STANDIN'
#!/bin/sh
[ "$1" != -n ] || shift
exec "$@"
STANDIN
chmod +x "$work/bin"/*

# NAME: a fresh machine and package manager for one case; its state lies in $STATE.
machine() {
  STATE=$work/$1
  export STATE VELLORAN_BUILD_DIR=$work/$1/build
  mkdir -p "$STATE"
  : >"$STATE/calls"
  : >"$STATE/architectures"
  : >"$STATE/uninstallable"
}
# PACKAGE...: what install-deps.sh needs beyond the rest.
install_deps() {
  PATH="$work/bin:$PATH" "$root/scripts/install-deps.sh" "$@" >"$STATE/out" 2>&1
}

# A mirror in the middle of a sync, another package manager at work, the 32-bit loader out of
# step with the installed libraries.
machine mid-sync
printf '%s\n' xvfb wine32:i386 >"$STATE/absent"
echo "wine32:i386 Error, pkgProblemResolver::Resolve generated breaks" >"$STATE/uninstallable"
touch "$STATE/lock-once" "$STATE/index-broken"
install_deps || fail "gave up on a refresh that failed for an index it does not need: $(cat "$STATE/out")"
! grep -qx xvfb "$STATE/absent" || fail "did not install the missing xvfb"
[ "$(head -n 2 "$STATE/calls" | grep -c ' update$')" -eq 2 ] ||
  fail "did not wait for the lock to refresh again: $(cat "$STATE/calls")"
grep -q 'Mirror sync in progress' "$STATE/out" || fail "kept quiet about the index that failed"
if grep -q 'install -y.* wine32:i386' "$STATE/calls"; then
  reason="the 32-bit Wine loader could not be installed"
else
  # A host that runs no 32-bit programs never tries to install the loader.
  reason="this host cannot run 32-bit programs"
fi
[ ! -s "$STATE/architectures" ] || fail "left the i386 architecture it added for nothing"
# What every later script and CTest follow; test.sh's skip line gives the reason.
choice=$(
  . "$root/scripts/wine-loader.sh"
  echo "$VELLORAN_WINE_32BIT|$VELLORAN_WINE_32BIT_REASON|$WINELOADER|${PATH%%:*}"
)
[ "$choice" = "no|$reason|/usr/lib/wine/wine64|$root/scripts/wine64-only" ] ||
  fail "the scripts follow \"$choice\", not the 64-bit path because $reason"

# A name the index does not know, a mistake of ours: the refresh is tried again, then the run
# fails naming it; never "not tested".
machine unknown-name
printf '%s\n' xvfb wine65 >"$STATE/absent"
echo "wine65 Unable to locate package wine65" >"$STATE/uninstallable"
status=0
install_deps wine65 || status=$?
[ $status -eq 1 ] || fail "ended with status $status, not 1, for a name no index has: $(cat "$STATE/out")"
grep -q 'cannot be installed: wine65 (' "$STATE/out" || fail "did not name wine65: $(cat "$STATE/out")"
[ "$(grep -c ' update' "$STATE/calls")" -eq 3 ] || fail "did not try the refresh three times"
# The archive out of reach, or refusing the package files: the run is not tested (75), and one
# line says so.
for case in unreachable refused; do
  machine "$case"
  printf '%s\n' xvfb >"$STATE/absent"
  touch "$STATE/$case"
  status=0
  install_deps || status=$?
  [ $status -eq 75 ] || fail "$case: ended with status $status, not 75: $(cat "$STATE/out")"
  grep -q '^install-deps: not tested: .*could not be reached or refused a download; needed: xvfb' \
    "$STATE/out" || fail "$case: no line saying why it was not tested: $(cat "$STATE/out")"
done
# An install that fails for another package's sake, after installing every needed one.
machine unrelated-broken
printf '%s\n' xvfb >"$STATE/absent"
touch "$STATE/unrelated-broken"
install_deps || fail "failed though every needed package was installed: $(cat "$STATE/out")"
! grep -q 'cannot be installed' "$STATE/out" || fail "blamed a package: $(cat "$STATE/out")"
grep -q 'returned an error code' "$STATE/out" || fail "kept quiet about apt-get's error"
echo "install-deps: waited for the lock, went on past a broken index and an unrelated failure," \
  "named what it could not install, told an archive out of reach from a name it lacks"
