#!/usr/bin/env bash
# The install tree: `cmake --install` into a staging prefix gives the portable program folder
# exactly (files, links, modes, soname, RUNPATH $ORIGIN, the header as shipped), still working
# once moved; the System component adds exactly the desktop entry (valid), icon, pkg-config file,
# command links and manual pages, each pointing into the program folder.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
umask 022

rm -rf "$WORK_DIR"
mkdir -p "$WORK_DIR"
folder=$WORK_DIR/folder
cmake --install "$BUILD_DIR" --prefix "$folder" >/dev/null

expect_same_lines "portable folder" "$(portable_listing)" "$(tree_listing "$folder")"
cmp -s "$SOURCE_DIR/driver/korvane.h" "$folder/include/korvane.h" || fail "installed korvane.h differs from driver/korvane.h"
expect_eq "soname" "libkorvane.so.3" \
    "$(readelf -d "$folder/libkorvane.so.3.0.0" | sed -nE 's/.*\(SONAME\).*\[(.*)\]$/\1/p')"
for program in $PROGRAMS; do
    expect_runpath "$folder/$program" '$ORIGIN'
done
readelf -d "$folder/AppVantor" | grep -q 'NEEDED.*\[libkorvane\.so\.3\]' || fail "AppVantor does not need libkorvane.so.3"

# The folder works wherever it goes: the loader takes the library beside the program.
moved="$WORK_DIR/moved folder"
mv "$folder" "$moved"
expect_eq "korvane loaded by the moved AppVantor" "$moved/libkorvane.so.3" "$(loaded_from "$moved/AppVantor" libkorvane.so.3)"
# pkg-config escapes the blank in the folder's name.
pc_prefix=$(PKG_CONFIG_LIBDIR="$moved/lib/pkgconfig" pkg-config --variable=prefix korvane | sed 's/\\ / /g')
expect_eq "prefix of the folder's korvane.pc" "$moved" "$(realpath -sm "$pc_prefix")"

# A system install: the folder at its prefix and the System component around it.
root=$WORK_DIR/root
DESTDIR=$root cmake --install "$BUILD_DIR" >/dev/null
DESTDIR=$root cmake --install "$BUILD_DIR" --component System >/dev/null
expect_same_lines "system install, program folder" "$(portable_listing)" "$(tree_listing "$root$PREFIX")"

expected_system="share/applications/vantor.desktop f 644
share/icons/hicolor/scalable/apps/vantor.svg f 644
${PKGCONFIGDIR#"$SYSTEM_PREFIX"/}/korvane.pc f 644
share/doc/vantor/copyright f 644
share/doc/vantor/changelog.gz f 644
share/lintian/overrides/vantor f 644"
for link in $LINKS; do
    expected_system+=$'\n'"bin/$link l 777 -> $PREFIX/$link"
done
for page in $PAGES; do
    expected_system+=$'\n'"share/man/man1/$page f 644"
done
expect_same_lines "system files" "$expected_system" \
    "$(tree_listing "$root$SYSTEM_PREFIX" | grep -v ' d ')"

desktop=$root$SYSTEM_PREFIX/share/applications/vantor.desktop
validation=$(desktop-file-validate "$desktop" 2>&1) || fail "desktop-file-validate: $validation"
expect_eq "desktop-file-validate remarks" "" "$validation"
expect_eq "desktop entry Name" "KELDRA Vantor demo application" "$(sed -n 's/^Name=//p' "$desktop")"
expect_eq "desktop entry Exec" "$PREFIX/AppVantor" "$(sed -n 's/^Exec=//p' "$desktop")"
[[ -x $root$PREFIX/AppVantor ]] || fail "the desktop entry's program is not installed"
expect_eq "desktop entry Icon" "vantor" "$(sed -n 's/^Icon=//p' "$desktop")"
grep -q '<svg xmlns="http://www.w3.org/2000/svg"' "$root$SYSTEM_PREFIX/share/icons/hicolor/scalable/apps/vantor.svg" ||
    fail "the icon is not an SVG picture"

expect_eq "prefix of the system korvane.pc" "$PREFIX" \
    "$(PKG_CONFIG_LIBDIR="$root$PKGCONFIGDIR" pkg-config --variable=prefix korvane)"
for link in $LINKS; do
    [[ -x $root$(readlink "$root$SYSTEM_PREFIX/bin/$link") ]] || fail "bin/$link points at no program"
done
for page in $PAGES; do
    gzip -t "$root$SYSTEM_PREFIX/share/man/man1/$page" || fail "$page is not a gzip file"
done

finish
