#!/usr/bin/env bash
# The packages of an already built tree, made by cpack into a scratch folder: the .deb holds
# exactly the program folder under the prefix plus the system files, all root's, with its
# dependencies and its maintainer scripts (executable, `sh -n` clean), and neither the settings
# file nor dosdevices (its postinst makes them); the .tar.gz holds exactly the portable folder under
# one top folder, with relative paths only, and works wherever it is unpacked.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
umask 022

rm -rf "$WORK_DIR"
mkdir -p "$WORK_DIR"
if ! cpack --config "$BUILD_DIR/CPackConfig.cmake" -G "DEB;TGZ" -B "$WORK_DIR" >"$WORK_DIR/cpack.log" 2>&1; then
    cat "$WORK_DIR/cpack.log" >&2
    fail "cpack"
    finish
fi

# --- Debian package
deb=$WORK_DIR/vantor_${VERSION}_$(dpkg --print-architecture).deb
[[ -f $deb ]] || { fail "no package $deb"; finish; }
expect_eq "Package" "vantor" "$(dpkg-deb -f "$deb" Package)"
expect_eq "Version" "$VERSION" "$(dpkg-deb -f "$deb" Version)"
expect_eq "Architecture" "$(dpkg --print-architecture)" "$(dpkg-deb -f "$deb" Architecture)"
depends=$(dpkg-deb -f "$deb" Depends)
depended=$(tr ',' '\n' <<<"$depends" | sed -E 's/^ *([^ ]+).*$/\1/')
for needed in libc6 libqt6core6 libqt6gui6 libqt6widgets6 libstdc++6; do
    grep -qxF "$needed" <<<"$depended" || fail "Depends lacks $needed: $depends"
done
grep -q korvane <<<"$depends" && fail "Depends names the package's own library: $depends"

control=$WORK_DIR/control
dpkg-deb -e "$deb" "$control"
for script in postinst postrm; do
    if [[ ! -f $control/$script ]]; then
        fail "no $script"
        continue
    fi
    expect_eq "mode of $script" "755" "$(stat -c %a "$control/$script")"
    expect_eq "interpreter of $script" "#!/bin/sh" "$(head -n 1 "$control/$script")"
    sh -n "$control/$script" || fail "$script does not parse"
    grep -q "$PREFIX" "$control/$script" || fail "$script does not name $PREFIX"
done
expect_same_lines "control files" "$(printf '%s\n' control md5sums postinst postrm)" "$(ls "$control")"

# Contents as "path type owner" (type from the mode's first letter) and the link targets.
contents=$(dpkg-deb -c "$deb" | awk '{ t = substr($1, 1, 1); p = $6; sub(/^\.\//, "/", p); sub(/\/$/, "", p);
    line = p " " t " " $2; if (t == "l") line = line " -> " $8; print line }')
# The program folder as in an install, less what only the portable folder holds.
expected_deb=$(portable_listing | grep -v -e '^dosdevices ' -e '^lib/' |
    awk -v prefix="$PREFIX" '$2 != "d" { t = ($2 == "f") ? "-" : $2; line = prefix "/" $1 " " t " root/root";
        if (t == "l") line = line " " $4 " " $5; print line }')
for file in "$SYSTEM_PREFIX/share/applications/vantor.desktop" \
    "$SYSTEM_PREFIX/share/icons/hicolor/scalable/apps/vantor.svg" \
    "$PKGCONFIGDIR/korvane.pc" \
    "$SYSTEM_PREFIX/share/doc/vantor/copyright" \
    "$SYSTEM_PREFIX/share/doc/vantor/changelog.gz" \
    "$SYSTEM_PREFIX/share/lintian/overrides/vantor"; do
    expected_deb+=$'\n'"$file - root/root"
done
for link in $LINKS; do
    expected_deb+=$'\n'"$SYSTEM_PREFIX/bin/$link l root/root -> $PREFIX/$link"
done
for page in $PAGES; do
    expected_deb+=$'\n'"$SYSTEM_PREFIX/share/man/man1/$page - root/root"
done
expect_same_lines "package files" "$expected_deb" "$(grep -v ' d ' <<<"$contents")"
grep ' d ' <<<"$contents" | grep -v ' d root/root$' && fail "a folder of the package is not root's"

# The binaries are stripped and still find the library beside them.
unpacked=$WORK_DIR/unpacked
dpkg-deb -x "$deb" "$unpacked"
for program in $PROGRAMS libkorvane.so.3.0.0; do
    readelf -S "$unpacked$PREFIX/$program" | grep -q '\.debug_info' && fail "$program is not stripped"
done
for program in $PROGRAMS; do
    expect_runpath "$unpacked$PREFIX/$program" '$ORIGIN'
done

# --- Portable archive
top=Vantor-$VERSION-Linux
archive=$WORK_DIR/$top.tar.gz
[[ -f $archive ]] || { fail "no archive $archive"; finish; }
tar -tzf "$archive" | grep -v "^$top/" && fail "archive entries outside $top/"
place="$WORK_DIR/any place"
mkdir -p "$place"
tar -xzf "$archive" -C "$place"
expect_same_lines "archive folder" "$(portable_listing)" "$(tree_listing "$place/$top")"
expect_eq "korvane loaded by the unpacked AppVantor" "$place/$top/libkorvane.so.3" \
    "$(loaded_from "$place/$top/AppVantor" libkorvane.so.3)"
for program in $PROGRAMS; do
    expect_runpath "$place/$top/$program" '$ORIGIN'
done
# Text files (the pkg-config file) name no place of the build machine.
grep -rlIF "$BUILD_DIR" "$place/$top" && fail "the archive's text files name the build tree"

finish
