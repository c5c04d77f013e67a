#!/usr/bin/env bash
# The source indexes made from a machine's binary sources for fetching Debian source packages:
# every deb822 stanza of type deb becomes one of type deb-src with the same fields (comments
# left out), stanzas of other types are skipped, and one-line "deb" entries become "deb-src"
# entries, options kept. Checked byte for byte on an apt folder of this test's own.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
source "$SOURCE_DIR/scripts/apt.sh"

etc=$WORK_DIR/etc/apt
rm -rf "$WORK_DIR"
mkdir -p "$etc/sources.list.d"

expect_eq "no sources at all" "" "$(apt_source_stanzas "$etc")$(apt_source_lines "$etc")"

cat >"$etc/sources.list.d/debian.sources" <<'EOF'
Types: deb
# http://snapshot.debian.org/archive/debian/20250520T000000Z
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb
URIs: http://deb.debian.org/debian-security
Suites: bookworm-security
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
cat >"$etc/sources.list.d/other.sources" <<'EOF'
Types: deb-src
URIs: http://example.org/only-sources
Suites: bookworm
Components: main

Types:deb deb-src
URIs: http://example.org/both
Suites: bookworm
Components: main contrib
Enabled: no

Types: debian
URIs: http://example.org/not-a-type-of-ours
Suites: bookworm
Components: main
EOF
cat >"$etc/sources.list" <<'EOF'
# deb http://example.org/commented bookworm main
deb http://deb.debian.org/debian bookworm main
deb-src http://deb.debian.org/debian bookworm main
  deb  [arch=amd64 signed-by=/usr/share/keyrings/k.gpg] http://example.org/x bookworm main
debian http://example.org/not-an-entry bookworm main
EOF
printf 'deb http://example.org/extra bookworm-backports main\n' >"$etc/sources.list.d/extra.list"

expect_eq "deb822 stanzas" "Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb-src
URIs: http://deb.debian.org/debian-security
Suites: bookworm-security
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb-src
URIs: http://example.org/both
Suites: bookworm
Components: main contrib
Enabled: no" "$(apt_source_stanzas "$etc")"
# The stanzas stay apart when written to a file: each ends with an empty line.
expect_eq "stanza separation" "3" "$(apt_source_stanzas "$etc" | grep -c '^$')"

expect_eq "one-line entries" "deb-src http://deb.debian.org/debian bookworm main
deb-src [arch=amd64 signed-by=/usr/share/keyrings/k.gpg] http://example.org/x bookworm main
deb-src http://example.org/extra bookworm-backports main" "$(apt_source_lines "$etc")"

finish
