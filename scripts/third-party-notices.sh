#!/usr/bin/env bash
# Prints THIRD-PARTY-NOTICES.txt for the programs whose link maps are given: what the toolchain
# linked into them, found in the maps, goes by the Debian package that installed it. A package
# built from GCC's sources whose copyright file grants the GCC Runtime Library Exception (libgcc,
# libstdc++) is named as needing no notice; every other package's own copyright file is
# copied in whole, once however many packages share it. Our own objects (relative paths in the
# maps) are left out. Fails, naming it, on a linked file that no package installed.
# Usage: scripts/third-party-notices.sh VERSION LINK_MAP...
set -euo pipefail
version=$1
shift

# The object files the linker loaded whole, and the archives it took members from; toolchain
# files have absolute paths, ours relative ones.
mapfile -t linked < <(sed -n -e 's/^LOAD \(\/.*\.o\)$/\1/p' -e 's/^\(\/[^(]*\.a\)(.*/\1/p' "$@" |
  xargs -r realpath -e | sort -u)
[ ${#linked[@]} -gt 0 ] || {
  echo "third-party-notices: no toolchain file in the link maps $*" >&2
  exit 1
}

declare -A files_of  # package -> the names of the files linked from it
if ! owners=$(dpkg-query -S "${linked[@]}" 2>&1); then
  echo "third-party-notices: no Debian package installed some of the linked files:" >&2
  grep -i 'no path found' <<<"$owners" | sed 's/^/  /' >&2
  exit 1
fi
while IFS= read -r line; do
  package=${line%%: *}
  [[ $package != *,* ]] || {
    echo "third-party-notices: more than one package holds ${line#*: }: $package" >&2
    exit 1
  }
  files_of[$package]+=" ${line##*/}"
done <<<"$owners"

exempt=()
sums=()                 # the distinct copyright files' checksums, in the packages' order
declare -A packages_of  # checksum -> the packages sharing that copyright file
declare -A copyright_of # checksum -> one copy of the file
for package in $(printf '%s\n' "${!files_of[@]}" | sort); do
  copyright=/usr/share/doc/${package%%:*}/copyright
  [ -f "$copyright" ] || {
    echo "third-party-notices: $package has no copyright file at $copyright" >&2
    exit 1
  }
  described="$(dpkg-query -W -f '${Package} ${Version}' "$package"):$(
    tr ' ' '\n' <<<"${files_of[$package]}" | sort -u | tr '\n' ' ' | sed 's/ $//')"
  source=$(dpkg-query -W -f '${source:Package}' "$package")
  if [[ $source == gcc* ]] && grep -qi 'runtime library exception' "$copyright"; then
    exempt+=("$described")
  else
    sum=$(sha256sum <"$copyright" | cut -d' ' -f1)
    [ -n "${packages_of[$sum]:-}" ] || sums+=("$sum")
    packages_of[$sum]+="  $described"$'\n'
    copyright_of[$sum]=$copyright
  fi
done

title="Velloran $version: third-party notices"
cat <<EOF
$title
$(printf '%s\n' "$title" | tr -c '\n' =)

x64\\velloran.exe and x86\\velloran.exe are each a single program: parts of the MinGW-w64
toolchain they were built with are linked into them. Below, for each Debian package those parts
came from, the files taken from it; this file was made from the packages' own copyright files
when the release was built.

Needing no notice
-----------------

GCC's runtime libraries are under the GNU General Public License, version 3, with the GCC
Runtime Library Exception, which lets a program compiled by GCC carry them on terms of its own
choosing, with no notice:

$(if [ ${#exempt[@]} -gt 0 ]; then printf '  %s\n' "${exempt[@]}"; else echo "  (none linked)"; fi)

Notices
-------
EOF
for sum in "${sums[@]}"; do
  printf '\nFrom:\n%s\n' "${packages_of[$sum]}"
  cat "${copyright_of[$sum]}"
done
