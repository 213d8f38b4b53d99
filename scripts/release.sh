#!/usr/bin/env bash
# Builds the release into dist/: x64/velloran.exe and x86/velloran.exe (optimised, stripped,
# linked statically, so each is one file needing only Windows' own DLLs; both named velloran.exe,
# since the program's title is its file name); velloran-VERSION.zip, the archive users take,
# holding both in those folders with a README.txt, the licence and the third-party notices made
# from the toolchain's own copyright files; and SHA256SUMS for the three. Every run builds from
# scratch, and no time stamp or build path goes into the files: the same commit gives the same
# bytes, wherever it is checked out.
# Usage: scripts/release.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VELLORAN_BUILD_DIR:-$root/build}
dist=$root/dist
jobs=$(nproc)

"$root/scripts/install-deps.sh" git
mkdir -p "$build"
# The archive's files carry the commit's time, never a made-up one: an archive with another time
# is another archive. The programs' version resource names the commit, marked when the checkout's
# files differ from it. Asked first, so that a checkout git refuses fails before the builds.
if [ -z "${SOURCE_DATE_EPOCH:-}" ] || [ -z "${VELLORAN_COMMIT:-}" ]; then
  if ! head=$(git -C "$root" log -1 --format='%ct %H' 2>"$build/release-git.log"); then
    echo "release: git cannot give the commit's time and name; it said:" >&2
    sed 's/^/  /' "$build/release-git.log" >&2
    echo "(set SOURCE_DATE_EPOCH to the commit's time in seconds, and VELLORAN_COMMIT to its" \
      "name, to build without git)" >&2
    exit 1
  fi
  SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-${head% *}}
  if [ -z "${VELLORAN_COMMIT:-}" ]; then
    VELLORAN_COMMIT=${head#* }
    git -C "$root" diff --quiet HEAD -- 2>/dev/null || VELLORAN_COMMIT+=.modified
  fi
fi
epoch=$SOURCE_DATE_EPOCH
commit=$VELLORAN_COMMIT

# ARCH MACHINE FOLDER: builds velloran.exe for ARCH (a toolchain in cmake/) into dist/FOLDER.
release() {
  local arch=$1 machine=$2 folder=$3
  local dir=$build/release-$arch
  echo "== $folder/velloran.exe: configure and build"
  rm -rf "$dir"
  mkdir -p "$dir" "$dist/$folder"
  cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=Release -DVELLORAN_TESTS=OFF \
    -DVELLORAN_COMMIT="$commit" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-$arch.cmake" \
    >"$dir.configure.log" 2>&1 || { cat "$dir.configure.log"; return 1; }
  cmake --build "$dir" --target velloran -j "$jobs" >"$dir.build.log" 2>&1 ||
    { tail -n 60 "$dir.build.log"; return 1; }
  cp "$dir/app/velloran.exe" "$dist/$folder/velloran.exe"
  "$root/scripts/check-exe.sh" "$dist/$folder/velloran.exe" "$dir/app/velloran.map" "$machine" \
    $((1024 * 1024))
}

mkdir -p "$dist"
# What this script made before, in this layout and in the one before 1.1.0.
rm -f "$dist"/x64/velloran.exe "$dist"/x86/velloran.exe "$dist"/velloran-*.exe \
  "$dist"/velloran-*.zip "$dist/SHA256SUMS"
release x86_64 x86-64 x64
release i686 i386 x86

version=$(cat "$build/release-x86_64/velloran-version.txt")
# Each version users can see has its entry in the changelog.
grep -q "^## \[$version\] - " "$root/CHANGELOG.md" ||
  { echo "release: CHANGELOG.md has no entry \"## [$version] - DATE\"" >&2; exit 1; }

# The archive. Windows' Notepad wants CRLF line ends; zip stores times as local clock readings,
# so they are the commit's time read in UTC, and -X leaves out owners and extra time stamps.
archive=velloran-$version.zip
echo "== $archive"
stage=$build/release-archive
rm -rf "$stage"
mkdir -p "$stage/x64" "$stage/x86"
cp "$dist/x64/velloran.exe" "$stage/x64/"
cp "$dist/x86/velloran.exe" "$stage/x86/"
sed "s/@VERSION@/$version/g; s/\$/\r/" "$root/docs/release-readme.txt" >"$stage/README.txt"
sed 's/$/\r/' "$root/LICENSE" >"$stage/LICENSE.txt"
"$root/scripts/third-party-notices.sh" "$version" "$build"/release-{x86_64,i686}/app/velloran.map |
  sed 's/$/\r/' >"$stage/THIRD-PARTY-NOTICES.txt"
files=(x64/velloran.exe x86/velloran.exe README.txt LICENSE.txt THIRD-PARTY-NOTICES.txt)
(cd "$stage" && chmod 644 "${files[@]}" && TZ=UTC touch -d "@$epoch" "${files[@]}" &&
  TZ=UTC zip -X -D -q -9 "$dist/$archive" "${files[@]}")

(cd "$dist" && sha256sum x64/velloran.exe x86/velloran.exe "$archive" >SHA256SUMS)
echo "== $dist"
(cd "$dist" && stat -c '%n: %s bytes' x64/velloran.exe x86/velloran.exe "$archive" &&
  cat SHA256SUMS)
