#!/usr/bin/env bash
# Runs a command from a fresh clone of this checkout's HEAD inside a minimal Debian 13 ("trixie":
# Wine 10, GCC 14), for the people who build Velloran there. Needs root. The system is made with
# debootstrap from this machine's own Debian archive (only sources Debian's keyring signs) the
# first time; later runs reuse it, upgrading it first, and the command itself installs what it
# needs.
#
# This runs as root on other people's machines, so it acts only on what it made. The folder is
# taken by its canonical path, and used, killed in or deleted from only when it holds the mark
# this script writes last when it has made a system there: `/`, a folder made by anything else,
# or by an older version of this script, is refused in one line and left as it is. Debootstrap,
# the upgrade and the command each run in a mount namespace and a process namespace of their own:
# what they mount is gone, and every process they started ends, when they end or this script
# dies, however it dies. Nothing else is ever killed.
#
# Exit status: the command's; 75, with one line saying why, when Debian's archive could not be
# reached or refused a download; 1 when this script refuses the folder or cannot work here.
# Usage: scripts/debian-13.sh COMMAND [ARGUMENT...]   (run by bash in the clone's top folder)
# VELLORAN_DEBIAN13_DIR chooses where the system is kept (default /var/cache/velloran/debian-13).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
[ $# -gt 0 ] || { echo "usage: $0 COMMAND [ARGUMENT...]" >&2; exit 1; }
[ "$(id -u)" -eq 0 ] || { echo "debian-13: making and entering a chroot needs root" >&2; exit 1; }
# shellcheck source=debian-archive.sh
. "$root/scripts/debian-archive.sh"
suite=trixie
build=${VELLORAN_BUILD_DIR:-$root/build}
mkdir -p "$build"
log=$build/debian-13.log
step_log=$build/debian-13.step.log
: >"$log"

given=${VELLORAN_DEBIAN13_DIR:-/var/cache/velloran/debian-13}
system=$(realpath -m -- "$given")
partial=$system.partial
# Written last into a system this script made, and first into a folder it is making one in;
# each holds the folder's canonical path.
marker=.velloran-debian-13

refuse() {
  echo "debian-13: refusing $given: $*; nothing was used, killed or deleted" >&2
  exit 1
}

# COMMAND...: runs it with its output in the log, and alone in $step_log, which tells why it
# failed.
logged() {
  local status=0
  "$@" >"$step_log" 2>&1 || status=$?
  cat "$step_log" >>"$log"
  return $status
}

cannot_be_had() {
  echo "debian-13: not tested: $* (see $log)"
  exit 75
}

# DIR: succeeds when DIR holds this script's mark naming DIR itself.
made_here() {
  [ -f "$1/$marker" ] && [ ! -L "$1/$marker" ] && [ "$(cat "$1/$marker")" = "$1" ]
}

[ "$system" != / ] || refuse "it is the machine's own root folder"

# One run at a time per system, whatever the spelling of its folder: the second waits.
mkdir -p "$(dirname "$system")"
exec 9>>"$system.lock"
flock 9

for dir in "$system" "$partial"; do
  if [ -e "$dir" ] || [ -L "$dir" ]; then
    made_here "$dir" || refuse "$dir was not made by this script (it holds no $marker naming it)"
  fi
done

# DIR: waits until no process has its root in DIR. An earlier run's processes end with its
# namespaces, but the kernel may still be ending them when its lock comes free; they are waited
# for, never killed.
wait_until_nobody_inside() {
  local deadline=$((SECONDS + 60)) link left
  while :; do
    left=()
    for link in /proc/[0-9]*/root; do
      case $(readlink "$link" 2>/dev/null) in "$1" | "$1"/*) left+=("${link//[^0-9]/}") ;; esac
    done
    [ ${#left[@]} -gt 0 ] || return 0
    [ $SECONDS -lt $deadline ] || refuse "processes still run inside $1: ${left[*]}"
    sleep 0.5
  done
}

namespace=
clone=
# shellcheck disable=SC2317  # run by the trap
cleanup() {
  # Our own child, not yet waited for: its number cannot be another process's.
  if [ -n "$namespace" ]; then
    kill -KILL "$namespace" 2>/dev/null || true
    wait "$namespace" 2>/dev/null || true
  fi
  # What a process still being ended writes meanwhile, the next run removes.
  if [ -n "$clone" ]; then rm -rf --one-file-system "$clone" 2>/dev/null || true; fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# COMMAND...: runs it in a mount namespace and a process namespace of its own. When its first
# process ends, the kernel ends every other one inside, and when this script dies, even by
# SIGKILL, that first process is killed: setpriv has the kernel kill unshare when its parent
# dies, and unshare has it kill its child in turn. Waited for in the background, so that an
# interruption reaches the trap at once. The lock stays with this script.
in_namespaces() {
  local status=0
  setpriv --pdeathsig KILL \
    unshare --mount --propagation private --pid --fork --kill-child "$@" 9>&- &
  namespace=$!
  wait "$namespace" || status=$?
  namespace=
  return $status
}

make_system() {
  local host entries mirror
  host=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
  entries=$(velloran_debian_entries "$host" "$suite")
  if [ -z "$entries" ]; then
    # The machine's package indexes were never fetched, or not lately: its Release files tell.
    logged apt-get -q update || true
    entries=$(velloran_debian_entries "$host" "$suite")
  fi
  mirror=$(velloran_debian_mirror "$suite" <<<"$entries")
  if [ -z "$mirror" ]; then
    velloran_archive_said_no "$step_log" &&
      cannot_be_had "this machine's Debian archive could not be reached"
    echo "debian-13: this machine lists no Debian archive that Debian's keyring signs" >&2
    exit 1
  fi
  if ! command -v debootstrap >/dev/null; then
    "$root/scripts/install-deps.sh" debootstrap >>"$log" 2>&1 ||
      { echo "debian-13: debootstrap cannot be installed (see $log)" >&2; exit 1; }
  fi
  echo "== debian-13: making the system in $system from $mirror"
  # A half-made system from a killed run is never mistaken for a whole one: it is made in a
  # folder of its own and moved into place only once made, its mark written last.
  if [ -e "$partial" ]; then
    wait_until_nobody_inside "$partial"
    rm -rf --one-file-system "$partial"
  fi
  mkdir "$partial"
  echo "$partial" >"$partial/$marker"
  if ! logged in_namespaces debootstrap --variant=minbase "$suite" "$partial/system" "$mirror"
  then
    velloran_archive_said_no "$step_log" &&
      cannot_be_had "debootstrap could not have Debian 13 from $mirror"
    echo "debian-13: debootstrap failed (see $log)" >&2
    exit 1
  fi
  : >"$partial/system/etc/apt/sources.list"
  velloran_debian_sources <<<"$entries" >"$partial/system/etc/apt/sources.list.d/debian.sources"
  echo "$system" >"$partial/system/$marker"
  mv "$partial/system" "$system"
  rm -rf --one-file-system "$partial"
}

[ -e "$system" ] || make_system

wait_until_nobody_inside "$system"
rm -rf --one-file-system "$system"/tmp/velloran-clone.*
clone=$(mktemp -d "$system/tmp/velloran-clone.XXXXXX")
git clone -q --no-hardlinks "$root" "$clone/velloran"
inside=/tmp/${clone##*/}/velloran

# SYSTEM COMMAND...: mounts what programs inside need and runs COMMAND there with a bare
# environment. Mounted in the namespaces in_namespaces makes: the mounts go with them.
# shellcheck disable=SC2016  # expanded by the inner shell
mount_and_run=(bash -c '
  set -e
  system=$1
  shift
  mount -t proc proc "$system/proc"
  mount --bind /sys "$system/sys"
  mount --bind /dev "$system/dev"
  mount --bind /dev/pts "$system/dev/pts"
  mount -t tmpfs shm "$system/dev/shm"
  exec chroot "$system" /usr/bin/env -i HOME=/root PATH=/usr/sbin:/usr/bin:/sbin:/bin \
    CI="${CI:-}" LANG=C.UTF-8 DEBIAN_FRONTEND=noninteractive "$@"' mount-and-run "$system")

# Kept current with Debian 13's point releases (Wine and GCC fixes). A run killed inside the
# package manager left it half-way: that is finished first. An archive that cannot be reached
# leaves the system as it was, with a warning; anything else failing here fails the run.
echo "== debian-13: upgrading the system"
upgrade='dpkg --configure -a && apt-get -q update && apt-get -q -y full-upgrade &&
  apt-get -q -y install --no-install-recommends git ca-certificates && apt-get -q clean'
if ! logged in_namespaces "${mount_and_run[@]}" bash -c "$upgrade"; then
  velloran_archive_said_no "$step_log" ||
    { echo "debian-13: the upgrade failed (see $log)" >&2; exit 1; }
  echo "debian-13: warning: not upgraded: Debian's archive could not be reached or refused a" \
    "download (see $log)"
  # The clone's scripts need git for the commit time; everything else they install themselves.
  [ -x "$system/usr/bin/git" ] || cannot_be_had "the system has no git, and the archive gave none"
fi

echo "== debian-13: $* (in $inside)"
status=0
# shellcheck disable=SC2016  # expanded by the inner shell
in_namespaces "${mount_and_run[@]}" bash -c 'cd "$1" && shift && "$@"' run "$inside" "$@" ||
  status=$?
exit $status
