# shellcheck shell=bash
# Sourced: Debian's own package archive as this machine's apt lists it, renamed for a system of
# another Debian release; and what the output of apt-get or debootstrap says about reaching it.

velloran_debian_keyring=/usr/share/keyrings/debian-archive-keyring.gpg

# HOST SUITE: prints "URI SUITE COMPONENT", one a line, for each component of this machine's
# package sources of release HOST (HOST, HOST-updates, HOST-security, ...), the suite renamed to
# SUITE's counterpart (SUITE, SUITE-updates, ...). Only sources whose Release file, as this
# machine last fetched it, Debian's keyring signs: a third-party repository naming the same
# release is left out, as the new system has neither its key nor any use for it.
velloran_debian_entries() {
  local host=$1 suite=$2 site release component index signed
  # shellcheck disable=SC2016  # apt's own placeholders
  apt-get indextargets --format '$(SITE) $(RELEASE) $(COMPONENT) $(FILENAME)' \
    'Target-Of: deb' 'Identifier: Packages' </dev/null |
    while read -r site release component index; do
      case $release in "$host" | "$host"-*) ;; *) continue ;; esac
      # apt keeps a source's Release file beside its indexes, named alike.
      signed=${index%%_dists_*}_dists_${release//\//_}_InRelease
      gpgv --keyring "$velloran_debian_keyring" "$signed" >/dev/null 2>&1 || continue
      echo "$site $suite${release#"$host"} $component"
    done | awk '!seen[$0]++'
}

# Entries as velloran_debian_entries prints them, on its input: the new system's package sources,
# each to be checked against the Debian keyring the new system has itself.
velloran_debian_sources() {
  awk -v keyring="$velloran_debian_keyring" '
    { source = $1 " " $2; if (!(source in components)) order[++n] = source
      components[source] = components[source] " " $3 }
    END {
      for (i = 1; i <= n; i++) {
        split(order[i], part, " ")
        printf "Types: deb\nURIs: %s\nSuites: %s\nComponents:%s\nSigned-By: %s\n\n",
          part[1], part[2], components[order[i]], keyring
      }
    }'
}

# SUITE, entries on the input: the archive to make the new system from, the first that has
# SUITE itself.
velloran_debian_mirror() {
  awk -v suite="$1" '$2 == suite { print $1; exit }'
}

# FILE...: succeeds when apt-get's or debootstrap's output in them says that the archive could
# not be reached or refused a download (a file missing, or caught in the middle of a sync).
velloran_archive_said_no() {
  grep -qE "Failed to fetch|Failed getting release file|Couldn't download|Could not resolve|\
Temporary failure resolving|Could not connect|Unable to connect|Connection failed|\
Connection timed out|Hash Sum mismatch|File has unexpected size" "$@"
}
