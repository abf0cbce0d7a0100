#!/usr/bin/env bash
# The Debian package as an administrator gets it: its files, its control fields, lintian, the
# desktop entry, and qeltaudit run from the package unpacked into a temporary root (the test
# never installs it into this machine's system).
set -euo pipefail
# shellcheck source-path=SCRIPTDIR source=common.sh
source "$(dirname "$0")/common.sh"
require_package "$deb"
make_work_folder

# Every file with its mode and owner; folders are dpkg's to make.
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $1, $2, $6 }' | sort -k3 >"$work/files"
sort -k3 >"$work/expected" <<LIST
-rwxr-xr-x root/root ./usr/bin/QeltAuditTrigger
-rwxr-xr-x root/root ./usr/bin/qeltaudit
-rw-r--r-- root/root ./usr/share/applications/qeltaudittrigger.desktop
-rw-r--r-- root/root ./usr/share/doc/qeltaudittrigger/changelog.Debian.gz
-rw-r--r-- root/root ./usr/share/doc/qeltaudittrigger/copyright
-rw-r--r-- root/root ./usr/share/icons/hicolor/16x16/apps/qeltaudittrigger.png
-rw-r--r-- root/root ./usr/share/icons/hicolor/32x32/apps/qeltaudittrigger.png
-rw-r--r-- root/root ./usr/share/icons/hicolor/48x48/apps/qeltaudittrigger.png
-rw-r--r-- root/root ./usr/share/man/man1/QeltAuditTrigger.1.gz
-rw-r--r-- root/root ./usr/share/man/man1/qeltaudit.1.gz
LIST
diff -u "$work/expected" "$work/files" || fail "the package's file list"

field() { dpkg-deb -f "$deb" "$1"; }
[[ $(field Package) == qeltaudittrigger ]] || fail "Package: $(field Package)"
[[ $(field Version) == "$version-1" ]] || fail "Version: $(field Version)"
[[ $(field Architecture) == amd64 ]] || fail "Architecture: $(field Architecture)"
[[ $(field Recommends) == "libsqliteodbc, odbc-mdbtools, odbc-postgresql" ]] ||
    fail "Recommends: $(field Recommends)"
# dpkg-shlibdeps found the libraries the programs link: the ODBC manager and Qt among them.
for library in libc6 libodbc2 libqt6widgets6 libstdc++6; do
    field Depends | tr ',' '\n' | sed 's/^ *//; s/ .*//' | grep -qxF "$library" ||
        fail "Depends lacks $library: $(field Depends)"
done

# Errors fail the test; the warnings left are the known ones listed beside this script.
lintian --tag-display-limit 0 "$deb" >"$work/lintian" || true
cat "$work/lintian"
if grep -q '^E: ' "$work/lintian"; then fail "lintian reports errors"; fi
awk '$1 == "W:" { print $3 }' "$work/lintian" | sort -u >"$work/warnings"
sed '/^#/d' "$(dirname "$0")/lintian-warnings" | sort -u | comm -23 "$work/warnings" - >"$work/new"
[[ ! -s "$work/new" ]] || fail "new lintian warnings: $(tr '\n' ' ' <"$work/new")"

dpkg-deb -x "$deb" "$work/root"
desktop-file-validate "$work/root/usr/share/applications/qeltaudittrigger.desktop" ||
    fail "desktop entry"
for program in qeltaudit QeltAuditTrigger; do
    file "$work/root/usr/bin/$program" | grep -q ', stripped' || fail "$program is not stripped"
done
[[ $("$work/root/usr/bin/qeltaudit" --version) == "qeltaudit $version" ]] ||
    fail "qeltaudit --version from the unpacked package"
# The manual pages as man shows them from the package: without a warning, this version's.
for page in qeltaudit QeltAuditTrigger; do
    MANWIDTH=80 man -l "$work/root/usr/share/man/man1/$page.1.gz" >"$work/$page.txt" \
        2>"$work/man-errors" || fail "man -l $page.1.gz"
    [[ ! -s "$work/man-errors" ]] || fail "$page.1.gz: $(cat "$work/man-errors")"
    grep -q "^EXIT STATUS$" "$work/$page.txt" || fail "$page.1.gz has no EXIT STATUS"
    grep -qF "$page $version" "$work/$page.txt" || fail "$page.1.gz is not version $version"
done
zcat "$work/root/usr/share/doc/qeltaudittrigger/changelog.Debian.gz" |
    head -1 | grep -q "^qeltaudittrigger ($version-1) " || fail "changelog has no entry for $version-1"
echo "deb: $deb passes"
