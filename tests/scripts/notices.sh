#!/usr/bin/env bash
# The third-party notices made from velloran.exe's link map name every file the toolchain linked
# in, under the package that installed it, and carry that package's copyright file whole unless
# the package is GCC's runtime, named as needing none; a linked file no package installed fails
# the notices, naming it.
# Usage: tests/scripts/notices.sh SOURCE_DIR LINK_MAP
set -euo pipefail
source_dir=$1
map=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0
fail() {
  echo "FAILED: $*" >&2
  failures=$((failures + 1))
}

notices=$scratch/notices.txt
"$source_dir/scripts/third-party-notices.sh" 9.8.7 "$map" >"$notices" ||
  { echo "FAILED: no notices made from $map" >&2; exit 1; }
text=$(<"$notices")
exempt_part=${text%%$'\nNotices\n'*}

# Every toolchain file in the map, as the linker named it: archives it took members from, objects
# it loaded whole.
mapfile -t linked < <(grep -oE '^(LOAD )?/[^( ]*\.(a\(|o$)' "$map" | sed -E 's/^LOAD //; s/\($//' |
  xargs -r realpath -e | sort -u)
[ ${#linked[@]} -ge 3 ] || fail "the map names only ${#linked[@]} toolchain files: ${linked[*]}"
with_notice=0
for file in "${linked[@]}"; do
  package=$(dpkg-query -S "$file" | sed 's/: .*//')
  line=$(awk -v start="  $package " 'index($0, start) == 1 && /: / { print; exit }' "$notices")
  [ -n "$line" ] || { fail "$file (from $package) is not listed under its package"; continue; }
  [[ " ${line#*: } " == *" ${file##*/} "* ]] || fail "$package's line lacks ${file##*/}: $line"
  if [[ $exempt_part == *"$line"* ]]; then
    grep -qi 'runtime library exception' "/usr/share/doc/${package%%:*}/copyright" ||
      fail "$package is said to need no notice, but its copyright file grants no exception"
  else
    copyright=$(<"/usr/share/doc/${package%%:*}/copyright")
    [[ $text == *"$copyright"* ]] || fail "$package's copyright file is not in the notices whole"
    with_notice=$((with_notice + 1))
  fi
done
[ $with_notice -gt 0 ] || fail "no linked file needs a notice: the MinGW-w64 runtime is always one"

# A file that no package installed: the notices refuse it rather than leave it out.
stray=$scratch/libstray.a
: >"$stray"
{ cat "$map"; echo "$stray(stray.o)"; } >"$scratch/stray.map"
if "$source_dir/scripts/third-party-notices.sh" 9.8.7 "$scratch/stray.map" \
  >/dev/null 2>"$scratch/stray.err"; then
  fail "notices made although $stray came from no package"
elif ! grep -qF "$stray" "$scratch/stray.err"; then
  fail "the refusal does not name $stray: $(cat "$scratch/stray.err")"
fi

[ $failures -eq 0 ] || exit 1
echo "notices: ${#linked[@]} linked toolchain files, $with_notice of them under a notice"
