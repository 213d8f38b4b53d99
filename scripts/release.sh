#!/usr/bin/env bash
# Builds the release into dist/: velloran-x64.exe and velloran-x86.exe (optimised, stripped,
# linked statically, so each is one file needing only Windows' own DLLs); velloran-VERSION.zip,
# the archive users take, holding both with a README.txt and the licence; and SHA256SUMS for the
# three. Every run builds from scratch, and no time stamp or build path goes into the files: the
# same commit gives the same bytes, wherever it is checked out.
# Usage: scripts/release.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VELLORAN_BUILD_DIR:-$root/build}
dist=$root/dist
jobs=$(nproc)

"$root/scripts/install-deps.sh" git
mkdir -p "$build"
# The archive's files carry the commit's time, never a made-up one: an archive with another time
# is another archive. Asked first, so that a checkout git refuses fails before the builds.
if [ -z "${SOURCE_DATE_EPOCH:-}" ] &&
  ! SOURCE_DATE_EPOCH=$(git -C "$root" log -1 --format=%ct 2>"$build/release-git.log"); then
  echo "release: git cannot give the commit's time for the archive; it said:" >&2
  sed 's/^/  /' "$build/release-git.log" >&2
  echo "(set SOURCE_DATE_EPOCH to the commit's time in seconds to build without git)" >&2
  exit 1
fi
epoch=$SOURCE_DATE_EPOCH

# ARCH MACHINE NAME: builds velloran.exe for ARCH (a toolchain in cmake/) into dist/NAME.
release() {
  local arch=$1 machine=$2 name=$3
  local dir=$build/release-$arch
  echo "== $name: configure and build"
  rm -rf "$dir"
  mkdir -p "$dir"
  cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=Release -DVELLORAN_TESTS=OFF \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-$arch.cmake" >"$dir.configure.log" 2>&1 ||
    { cat "$dir.configure.log"; return 1; }
  cmake --build "$dir" --target velloran -j "$jobs" >"$dir.build.log" 2>&1 ||
    { tail -n 60 "$dir.build.log"; return 1; }
  cp "$dir/app/velloran.exe" "$dist/$name"
  "$root/scripts/check-exe.sh" "$dist/$name" "$machine" $((1024 * 1024))
}

mkdir -p "$dist"
rm -f "$dist"/velloran-*.exe "$dist"/velloran-*.zip "$dist/SHA256SUMS"
release x86_64 x86-64 velloran-x64.exe
release i686 i386 velloran-x86.exe

# The archive. Windows' Notepad wants CRLF line ends; zip stores times as local clock readings,
# so they are the commit's time read in UTC, and -X leaves out owners and extra time stamps.
version=$(cat "$build/release-x86_64/velloran-version.txt")
archive=velloran-$version.zip
echo "== $archive"
stage=$build/release-archive
rm -rf "$stage"
mkdir -p "$stage"
cp "$dist/velloran-x64.exe" "$dist/velloran-x86.exe" "$stage/"
sed "s/@VERSION@/$version/; s/\$/\r/" "$root/docs/release-readme.txt" >"$stage/README.txt"
sed 's/$/\r/' "$root/LICENSE" >"$stage/LICENSE.txt"
chmod 644 "$stage"/*
TZ=UTC touch -d "@$epoch" "$stage"/*
(cd "$stage" && TZ=UTC zip -X -D -q -9 "$dist/$archive" \
  velloran-x64.exe velloran-x86.exe README.txt LICENSE.txt)

(cd "$dist" && sha256sum velloran-x64.exe velloran-x86.exe "$archive" >SHA256SUMS)
echo "== $dist"
(cd "$dist" && stat -c '%n: %s bytes' velloran-x64.exe velloran-x86.exe "$archive" && cat SHA256SUMS)
