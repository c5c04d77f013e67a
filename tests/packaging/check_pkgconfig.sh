#!/usr/bin/env bash
# A C99 program built the way a developer builds one, `cc prog.c $(pkg-config --cflags --libs
# korvane)`, against the installed header and library only: once with the portable folder's
# korvane.pc, once with the system one (installed under a staging root, read through
# PKG_CONFIG_SYSROOT_DIR). Each program must load the installed library and print its version.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
umask 022

version="korvane V3.0. KELDRA S.A. sept 2007."
source_file=$(dirname "$0")/korvane_version.c
rm -rf "$WORK_DIR"
mkdir -p "$WORK_DIR"

# build_and_run NAME LIBRARY_FOLDER: compiles with the pkg-config settings in the environment,
# runs the program, and checks where its library came from and what it printed.
build_and_run() {
    local program=$WORK_DIR/$1 flags output
    flags=$(pkg-config --cflags --libs korvane)
    # shellcheck disable=SC2086 # the flags are words
    if ! ${CC:-cc} -std=c99 -pedantic -Wall -Wextra -Werror $EXTRA_CFLAGS "$source_file" $flags -o "$program"; then
        fail "$1: the program does not build with: $flags"
        return
    fi
    expect_eq "$1: library loaded" "$(realpath -sm "$2/libkorvane.so.3")" \
        "$(realpath -sm "$(loaded_from "$program" libkorvane.so.3)")"
    output=$("$program") || fail "$1: the program failed with status $?"
    expect_eq "$1: output" "$version" "$output"
}

# The portable folder, wherever it lies: its own korvane.pc.
folder=$WORK_DIR/folder
cmake --install "$BUILD_DIR" --prefix "$folder" >/dev/null
PKG_CONFIG_LIBDIR=$folder/lib/pkgconfig build_and_run portable "$folder"

# The system install under a staging root: the flags name the staged folder.
root=$WORK_DIR/root
DESTDIR=$root cmake --install "$BUILD_DIR" >/dev/null
DESTDIR=$root cmake --install "$BUILD_DIR" --component System >/dev/null
PKG_CONFIG_LIBDIR=$root$PKGCONFIGDIR PKG_CONFIG_SYSROOT_DIR=$root build_and_run system "$root$PREFIX"

finish
