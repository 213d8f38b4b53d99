#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, and any named as arguments, only
# when some are missing.
set -euo pipefail

packages=(
  cmake make g++ valgrind libgtest-dev libgmock-dev libbenchmark-dev googletest libboost-dev
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix binutils-mingw-w64-x86-64 binutils-mingw-w64-i686
  wine wine64 wine32:i386
  xvfb xauth xdotool openbox imagemagick x11-utils
)
packages+=("$@")  # what one script needs beyond the rest, e.g. the fuzzer's compiler

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
# The 32-bit Wine loader comes from Debian's i386 architecture.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
