#!/usr/bin/env bash
# The Debian maintainer scripts, run against a scratch root through DPKG_ROOT, and the settings
# store in the layout they make: postinst creates AppVantor.xml (root:dialout 0664, a document the
# program reads) and dosdevices (root:dialout 2775) once and keeps them on upgrade; an operator in
# group dialout saves settings and assigns ports, a user outside it writes nothing and sees no
# error, a save by root leaves the file to the operators; postrm removes it all on purge only.
# Needs root (files given to group dialout, programs run as other users).
set -euo pipefail
source "$(dirname "$0")/lib.sh"
umask 022

if [[ $(id -u) -ne 0 ]] || ! getent group dialout >/dev/null || ! getent passwd nobody >/dev/null; then
    echo "skipped: needs root, the group dialout and the user nobody"
    exit 77
fi

# Under /tmp, so that the user nobody can reach the folder.
scratch=$(mktemp -d "${TMPDIR:-/tmp}/vantor-maintainer.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
chmod 755 "$scratch"
root=$scratch/root
folder=$root$PREFIX
mkdir -p "$folder"

# A sanitizer build names its suppression files in the options, in a source tree that may be
# closed to the other users (a clone in /root, say); they read copies here instead.
for var in ASAN_OPTIONS LSAN_OPTIONS UBSAN_OPTIONS TSAN_OPTIONS; do
    [[ ${!var:-} == *suppressions=* ]] || continue
    IFS=: read -r -a items <<<"${!var}"
    for i in "${!items[@]}"; do
        if [[ ${items[$i]} == suppressions=* ]]; then
            copy=$scratch/$var.supp
            install -m 0644 "${items[$i]#suppressions=}" "$copy"
            items[i]=suppressions=$copy
        fi
    done
    export "$var=$(IFS=:; echo "${items[*]}")"
done

operator=(setpriv --reuid=nobody --regid=nogroup --groups=dialout)
outsider=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
owner_mode() { stat -c '%a %U:%G' "$1"; }
settings=$folder/AppVantor.xml
document() {
    printf '<?xml version="1.0" encoding="iso-8859-1"?>\r\n<Configuration>\r\n  <FenetrePrincipale>\r\n'
    printf '    <EditId_Value>%s</EditId_Value>\r\n  </FenetrePrincipale>\r\n</Configuration>\r\n' "$1"
}
# Compared as `cat -A` shows them: line ends as ^M$.
expect_settings() { expect_eq "$1" "$(document "$2" | cat -A)" "$(cat -A "$settings")"; }

# --- First installation
DPKG_ROOT=$root sh "$POSTINST" configure "" || fail "postinst configure failed"
expect_eq "settings file" "664 root:dialout" "$(owner_mode "$settings")"
expect_eq "settings file text" "$(printf '<?xml version="1.0" encoding="iso-8859-1"?>\r\n<Configuration/>\r\n' | cat -A)" \
    "$(cat -A "$settings")"
expect_eq "dosdevices" "2775 root:dialout" "$(owner_mode "$folder/dosdevices")"
expect_eq "program folder" "755 root:root" "$(owner_mode "$folder")"
expect_same_lines "program folder after postinst" "$(printf '%s\n' AppVantor.xml dosdevices)" "$(ls -A "$folder")"

# --- The settings store in this layout
install -m 0755 "$PROBE" "$folder/settings_probe"
expect_eq "operator's save, output" "" "$("${operator[@]}" "$folder/settings_probe" 42 2>&1)"
expect_settings "settings saved by an operator" 42
expect_eq "settings file after an operator's save" "664 root:dialout" "$(owner_mode "$settings")"

output=$("${outsider[@]}" "$folder/settings_probe" 43 2>&1) || fail "outsider's save ended with status $?"
expect_eq "outsider's save, output" "" "$output"
expect_settings "settings after an outsider's save" 42

expect_eq "root's save, output" "" "$("$folder/settings_probe" 44 2>&1)"
expect_settings "settings saved by root" 44
expect_eq "settings file after root's save" "664 root:dialout" "$(owner_mode "$settings")"
"${operator[@]}" "$folder/settings_probe" 45
expect_settings "settings saved by an operator after root" 45
expect_same_lines "program folder after the saves" "$(printf '%s\n' AppVantor.xml dosdevices settings_probe)" \
    "$(ls -A "$folder")"

"${operator[@]}" ln -s /dev/null "$folder/dosdevices/com1" || fail "an operator cannot assign a port"
expect_eq "operator's port link" "dialout" "$(stat -c %G "$folder/dosdevices/com1")"
"${outsider[@]}" ln -s /dev/null "$folder/dosdevices/com2" 2>/dev/null && fail "a user outside dialout assigned a port"

# --- Upgrade: settings, links and an administrator's mode are kept
chmod 0644 "$settings"
DPKG_ROOT=$root sh "$POSTINST" configure "$VERSION" || fail "postinst configure (upgrade) failed"
expect_settings "settings after an upgrade" 45
expect_eq "settings file after an upgrade" "644 root:dialout" "$(owner_mode "$settings")"
[[ -L $folder/dosdevices/com1 ]] || fail "an upgrade lost a port link"
DPKG_ROOT=$root sh "$POSTRM" upgrade "$VERSION" || fail "postrm upgrade failed"
DPKG_ROOT=$root sh "$POSTRM" remove || fail "postrm remove failed"
expect_settings "settings after a removal" 45
[[ -L $folder/dosdevices/com1 ]] || fail "a removal lost a port link"

# --- Purge: what the postinst made and the program wrote goes, the folder too when empty
rm "$folder/settings_probe"
touch "$folder/AppVantor.xml.bad" "$folder/.AppVantor.xml.Ab12Cd"
DPKG_ROOT=$root sh "$POSTRM" purge || fail "postrm purge failed"
[[ -e $folder ]] && fail "purge left $(ls -A "$folder")"
mkdir -p "$folder/dosdevices"
touch "$settings" "$folder/notes.txt"
DPKG_ROOT=$root sh "$POSTRM" purge || fail "postrm purge (foreign file) failed"
expect_same_lines "purge beside a foreign file" "notes.txt" "$(ls -A "$folder")"

finish
