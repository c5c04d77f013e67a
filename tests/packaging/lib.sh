# Shared by the install and package checks: failure reporting and the expected program folder.
# Sourced by bash scripts that run with set -euo pipefail.

fails=0

fail() {
    echo "FAILED: $*" >&2
    fails=$((fails + 1))
}

# expect_eq WHAT EXPECTED ACTUAL
expect_eq() {
    if [[ "$2" != "$3" ]]; then
        fail "$1: expected '$2', got '$3'"
    fi
}

# expect_same_lines WHAT EXPECTED_TEXT ACTUAL_TEXT: both sorted, shown as a diff when they differ.
expect_same_lines() {
    local differences
    if ! differences=$(diff <(sort <<<"$2") <(sort <<<"$3")); then
        fail "$1 (< expected, > found):"$'\n'"$differences"
    fi
}

# Ends the check: the number of failures decides the exit status.
finish() {
    if ((fails)); then
        echo "$fails check(s) failed" >&2
        exit 1
    fi
    echo "all checks passed"
}

# Every entry of a folder as "path type mode [-> link target]", one a line, relative to it.
tree_listing() {
    (cd "$1" && find . -mindepth 1 -printf '%P %y %m%l\n' | sed -E 's/^([^ ]+ l [0-7]+)(.+)$/\1 -> \2/')
}

# The program folder as `cmake --install` lays it out. PROGRAMS: the executables of the folder.
portable_listing() {
    local program
    for program in $PROGRAMS; do
        echo "$program f 755"
    done
    cat <<'LISTING'
libkorvane.so.3.0.0 f 644
libkorvane.so.3 l 777 -> libkorvane.so.3.0.0
libkorvane.so l 777 -> libkorvane.so.3
include d 755
include/korvane.h f 644
dosdevices d 755
lib d 755
lib/pkgconfig d 755
lib/pkgconfig/korvane.pc f 644
LISTING
}

# Fails unless the ELF file has exactly the given RUNPATH and no RPATH.
expect_runpath() {
    local dynamic
    dynamic=$(readelf -d "$1")
    expect_eq "RUNPATH of $1" "$2" "$(sed -nE 's/.*\(RUNPATH\).*\[(.*)\]$/\1/p' <<<"$dynamic")"
    expect_eq "RPATH of $1" "" "$(sed -nE 's/.*\(RPATH\).*\[(.*)\]$/\1/p' <<<"$dynamic")"
}

# The file the loader picks for LIBRARY when it starts PROGRAM, as ldd reports it.
loaded_from() {
    ldd "$1" | sed -nE "s|^[[:space:]]*$2 => (.*) \(0x[0-9a-f]+\)$|\1|p"
}
