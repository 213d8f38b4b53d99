#!/usr/bin/env bash
# Runs a command from a fresh clone of this checkout's HEAD inside a minimal Debian 13 ("trixie":
# Wine 10, GCC 14), for the people who build Velloran there. The system is made with debootstrap
# from this machine's own Debian package sources, the first time only: later runs reuse it and
# the command itself installs what it needs. Everything mounted for the run lives in a mount
# namespace of its own, which the kernel tears down when the run ends, however it ends; the
# clone and the processes left inside go too.
#
# Exit status: the command's; 75, with one line saying why, when Debian 13 cannot be had (the
# package source refuses it); 1 when this script cannot work here at all.
# Usage: scripts/debian-13.sh COMMAND [ARGUMENT...]   (run by bash in the clone's top folder)
# VELLORAN_DEBIAN13_DIR chooses where the system is kept (default /var/cache/velloran/debian-13).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
[ $# -gt 0 ] || { echo "usage: $0 COMMAND [ARGUMENT...]" >&2; exit 1; }
[ "$(id -u)" -eq 0 ] || { echo "debian-13: making and entering a chroot needs root" >&2; exit 1; }
system=${VELLORAN_DEBIAN13_DIR:-/var/cache/velloran/debian-13}
suite=trixie
build=${VELLORAN_BUILD_DIR:-$root/build}
mkdir -p "$build" "$(dirname "$system")"
log=$build/debian-13.log
: >"$log"

cannot_be_had() {
  echo "debian-13: not tested: $* (see $log)"
  exit 75
}

# One run at a time per system: the second waits. What a killed run left (a clone, processes)
# belongs to nobody once the lock is ours; so the run's command never holds the lock itself.
exec 9>"$system.lock"
flock 9

# Processes whose root is the system: a killed run's wineserver, say.
end_processes_inside() {
  local link pid inside
  inside=$(readlink -f "$system")
  for link in /proc/[0-9]*/root; do
    pid=${link#/proc/}
    pid=${pid%/root}
    if [ "$(readlink "$link" 2>/dev/null)" = "$inside" ]; then kill -KILL "$pid" 2>/dev/null || true; fi
  done
}

# The machine's own sources, as Debian 13's: entries of the machine's release, each suite
# (bookworm, bookworm-updates, bookworm-security, ...) renamed to its Debian 13 counterpart.
write_sources() {
  local target=$1 host file
  host=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
  [ -n "$host" ] || return 1
  mkdir -p "$target/etc/apt/sources.list.d"
  : >"$target/etc/apt/sources.list"
  for file in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -f "$file" ] || continue
    sed -nE "/^[[:space:]]*deb[[:space:]].*[[:space:]]$host(-[a-z]+)?[[:space:]]/{
      s/([[:space:]])$host(-[a-z]+)?([[:space:]])/\\1$suite\\2\\3/; p }" "$file" \
      >>"$target/etc/apt/sources.list"
  done
  for file in /etc/apt/sources.list.d/*.sources; do
    [ -f "$file" ] || continue
    # Stanzas are separated by blank lines; only those naming the machine's release are kept.
    awk -v host="$host" -v suite="$suite" '
      function flush() { if (keep) printf "%s\n", stanza; stanza = ""; keep = 0 }
      /^[[:space:]]*$/ { flush(); next }
      /^Suites:/ {
        n = split($0, word, /[[:space:]]+/); line = "Suites:"
        for (i = 2; i <= n; i++) {
          if (word[i] == host || index(word[i], host "-") == 1) {
            keep = 1; sub("^" host, suite, word[i])
          }
          if (word[i] != "") line = line " " word[i]
        }
        $0 = line
      }
      { stanza = stanza $0 "\n" }
      END { flush() }' "$file" >"$target/etc/apt/sources.list.d/${file##*/}"
  done
}

# The machine's Debian archive: the first source of its release's own suite.
mirror() {
  local host
  host=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
  {
    cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null |
      awk -v host="$host" '$1 == "deb" {
        for (i = 2; i <= NF; i++) if ($i !~ /^\[/ && $i !~ /\]$/) break
        if ($(i + 1) == host) print $i }'
    for file in /etc/apt/sources.list.d/*.sources; do
      [ -f "$file" ] || continue
      awk -v host="$host" '
        /^[[:space:]]*$/ { if (uri != "" && ours) print uri; uri = ""; ours = 0; next }
        /^URIs:/ { uri = $2 }
        /^Suites:/ { for (i = 2; i <= NF; i++) if ($i == host) ours = 1 }
        END { if (uri != "" && ours) print uri }' "$file"
    done
  } | head -n 1
}

make_system() {
  local url partial=$system.partial
  url=$(mirror)
  [ -n "$url" ] || { echo "debian-13: this machine lists no Debian package source" >&2; exit 1; }
  if ! command -v debootstrap >/dev/null; then
    "$root/scripts/install-deps.sh" debootstrap >>"$log" 2>&1 ||
      { echo "debian-13: debootstrap cannot be installed (see $log)" >&2; exit 1; }
  fi
  echo "== debian-13: making the system in $system from $url"
  # A half-made system from a killed run is never mistaken for a whole one: it is renamed into
  # place only once made.
  rm -rf --one-file-system "$partial"
  debootstrap --variant=minbase "$suite" "$partial" "$url" >>"$log" 2>&1 ||
    cannot_be_had "debootstrap could not make Debian 13 from $url"
  write_sources "$partial" || { echo "debian-13: could not write its package sources" >&2; exit 1; }
  # The clone's scripts need git for the commit time; everything else they install themselves.
  chroot "$partial" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin bash -c \
    'apt-get -q update && DEBIAN_FRONTEND=noninteractive apt-get -q install -y --no-install-recommends git ca-certificates' \
    >>"$log" 2>&1 || cannot_be_had "its package sources refused git"
  mv "$partial" "$system"
}

[ -x "$system/usr/bin/git" ] || make_system

end_processes_inside
rm -rf --one-file-system "$system"/tmp/velloran-clone.*
clone=$(mktemp -d "$system/tmp/velloran-clone.XXXXXX")
# shellcheck disable=SC2317  # run by the trap
cleanup() {
  end_processes_inside
  rm -rf --one-file-system "$clone"
}
trap cleanup EXIT
trap 'exit 130' INT TERM
git clone -q --no-hardlinks "$root" "$clone/velloran"
inside=/tmp/${clone##*/}/velloran

echo "== debian-13: $* (in $inside)"
# The mounts exist only in this namespace: when its last process ends, they are gone.
status=0
# shellcheck disable=SC2016  # expanded by the inner shell
unshare --mount --propagation private bash -c '
  set -e
  system=$1
  shift
  mount -t proc proc "$system/proc"
  mount --bind /sys "$system/sys"
  mount --bind /dev "$system/dev"
  mount --bind /dev/pts "$system/dev/pts"
  mount -t tmpfs shm "$system/dev/shm"
  # A run killed inside the package manager leaves it half-way: finish that first.
  chroot "$system" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin dpkg --configure -a \
    >/dev/null 2>&1 || true
  exec chroot "$system" /usr/bin/env -i HOME=/root PATH=/usr/sbin:/usr/bin:/sbin:/bin \
    CI="${CI:-}" LANG=C.UTF-8 bash -c "cd \"\$1\" && shift && \"\$@\"" run "$@"' \
  mount-and-run "$system" "$inside" "$@" 9>&- &
# Waited for in the background, so that an interruption reaches the trap at once.
wait $! || status=$?
exit $status
