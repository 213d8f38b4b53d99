#!/usr/bin/env bash
# scripts/debian-13.sh runs as root on other people's machines, ends processes and deletes
# trees. Its new system must get only the sources Debian's keyring signs, however the machine
# lists them. Given a folder it did not make (the machine's root, however spelt, or a folder
# already holding a Debian with git and a process inside), it must refuse in one line and leave
# the folder and the process alone; two spellings of one folder must share one lock.
#
# The refusals run in a process and mount namespace of their own, the process inside too: a
# script that failed to refuse the machine's root could only kill what this test started there.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)

fail() {
  echo "FAILED: $*" >&2
  exit 1
}

if [ "${1:-}" != refusals ]; then
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT

  # This machine's sources as apt lists them: a third-party repository naming the release first,
  # Debian's archive for two architectures and two components, its security archive, and an
  # older release. Each Release file says who signs it; the stand-in gpgv believes it only with
  # Debian's keyring.
  lists=$work/lists
  mkdir -p "$lists" "$work/bin"
  for source in vendor.example_apt_dists_bookworm mirror.example_debian_dists_bookworm \
    security.example_debian-security_dists_bookworm-security; do
    case $source in vendor.*) echo "signed by the vendor" ;; *) echo "signed by Debian" ;; esac \
      >"$lists/${source}_InRelease"
  done
  cat >"$work/bin/apt-get" <<STANDIN
#!/bin/sh
[ "\$1" = indextargets ] || exit 100
cat <<'TARGETS'
http://vendor.example/apt bookworm main $lists/vendor.example_apt_dists_bookworm_main_binary-amd64_Packages
http://mirror.example/debian bookworm main $lists/mirror.example_debian_dists_bookworm_main_binary-amd64_Packages
http://mirror.example/debian bookworm main $lists/mirror.example_debian_dists_bookworm_main_binary-i386_Packages
http://mirror.example/debian bookworm contrib $lists/mirror.example_debian_dists_bookworm_contrib_binary-amd64_Packages
http://security.example/debian-security bookworm-security main $lists/security.example_debian-security_dists_bookworm-security_main_binary-amd64_Packages
http://mirror.example/debian bullseye main $lists/mirror.example_debian_dists_bullseye_main_binary-amd64_Packages
TARGETS
STANDIN
  cat >"$work/bin/gpgv" <<'STANDIN'
#!/bin/sh
[ "$1 $2" = "--keyring /usr/share/keyrings/debian-archive-keyring.gpg" ] && grep -qx 'signed by Debian' "$3"
STANDIN
  chmod +x "$work/bin"/*
  sources=$(
    PATH=$work/bin:$PATH
    . "$root/scripts/debian-archive.sh"
    entries=$(velloran_debian_entries bookworm trixie)
    echo "mirror $(velloran_debian_mirror trixie <<<"$entries")"
    velloran_debian_sources <<<"$entries"
  )
  keyring="Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg"
  expected="mirror http://mirror.example/debian
Types: deb
URIs: http://mirror.example/debian
Suites: trixie
Components: main contrib
$keyring

Types: deb
URIs: http://security.example/debian-security
Suites: trixie-security
Components: main
$keyring"
  [ "$sources" = "$expected" ] || fail "the new system's sources are
$sources
not
$expected"

  if [ "$(id -u)" -ne 0 ]; then
    echo "debian-13: its sources hold only Debian's; its refusals need root: not tried"
    exit 77
  fi
  unshare --pid --fork --mount --propagation unchanged bash "$0" refusals "$work" ||
    fail "the refusals did not all hold (status $?)"
  echo "debian-13: its sources hold only Debian's; it refused the root folder and a folder it" \
    "did not make, spelt four ways each, and killed and deleted nothing"
  exit 0
fi

# Inside the namespaces. Nothing mounted here may reach the machine's own mounts; inside a
# chroot (Debian 13's run) / is no mount point to make private, but nothing there is shared.
if ! mount --make-rprivate / 2>/dev/null && grep -q ' shared:' /proc/self/mountinfo; then
  fail "cannot keep this test's mounts to itself"
fi
mount -t proc proc /proc
work=$2
# A folder holding a Debian with git (this machine's /usr), and a process whose root it is.
debian=$work/debian
mkdir -p "$debian/usr" "$debian/tmp"
for link in bin lib lib64 sbin; do ln -s "usr/$link" "$debian/$link"; done
mount --bind /usr "$debian/usr"
chroot "$debian" /usr/bin/sleep 300 &
inside=$!
trap 'kill "$inside" 2>/dev/null || true' EXIT
until [ "$(readlink "/proc/$inside/root")" = "$debian" ]; do sleep 0.05; done
# What an earlier run's clone would look like: the script deletes those in a system it made.
touch "$debian/tmp/velloran-clone.left"
ln -s / "$work/root-link"
ln -s debian "$work/debian-link"

# SPELLING: the script, given it, refuses in one line.
expect_refused() {
  local status=0
  VELLORAN_DEBIAN13_DIR=$1 VELLORAN_BUILD_DIR=$work/build timeout 60 \
    "$root/scripts/debian-13.sh" true >"$work/out" 2>&1 || status=$?
  if [ $status -ne 1 ] || ! grep -q "^debian-13: refusing $1: " "$work/out"; then
    fail "given $1, it ended with status $status: $(cat "$work/out")"
  fi
}
for spelling in / // "$work/root-link" "$work/root-link/" \
  "$debian" "$debian/" "$work/debian-link" "$work/./debian"; do
  expect_refused "$spelling"
done
kill -0 "$inside" 2>/dev/null || fail "it killed the process inside a folder it did not make"
[ -e "$debian/tmp/velloran-clone.left" ] || fail "it deleted from a folder it did not make"

# While one run holds the folder's lock, a run naming it through a link waits for it.
exec 8>>"$debian.lock"
flock 8
status=0
VELLORAN_DEBIAN13_DIR=$work/debian-link/ VELLORAN_BUILD_DIR=$work/build timeout 2 \
  "$root/scripts/debian-13.sh" true >"$work/out" 2>&1 || status=$?
[ $status -eq 124 ] || fail "a second spelling did not wait for the lock: $(cat "$work/out")"
