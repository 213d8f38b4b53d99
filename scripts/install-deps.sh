#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, and any named as arguments, only
# when some are missing.
set -euo pipefail
# shellcheck source=wine-loader.sh
. "$(dirname "$0")/wine-loader.sh"

packages=(
  cmake make g++ valgrind libgtest-dev libbenchmark-dev googletest libboost-dev
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix binutils-mingw-w64-x86-64 binutils-mingw-w64-i686
  wine wine64
  xvfb xdotool openbox imagemagick x11-utils
)
# The 32-bit Wine loader, only where the kernel runs 32-bit programs: elsewhere it cannot start,
# and Debian's wine launcher would still choose it over the 64-bit one.
if [ "$VELLORAN_WINE_32BIT" = yes ]; then
  packages+=(wine32:i386)
fi
packages+=("$@")  # what one script needs beyond the rest, e.g. the fuzzer's compiler

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
# The 32-bit Wine loader comes from Debian's i386 architecture.
if [[ " ${missing[*]} " == *" wine32:i386 "* ]] &&
  ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
