#!/usr/bin/env bash
# The portable zip: the programs, README and licence in one folder; qeltaudit.exe runs under
# Wine from where it was unpacked, and no program needs a DLL that Windows does not have.
set -euo pipefail
# shellcheck source-path=SCRIPTDIR source=common.sh
source "$(dirname "$0")/common.sh"
require_package "$zip"
work=$windows_build/package-tests/zip
rm -rf "$work" && mkdir -p "$work"

folder=QeltAuditTrigger-${version}-win64
mapfile -t programs < <(windows_programs)
printf "$folder/%s\n" "${programs[@]}" LICENSE.txt README.md | sort >"$work/expected"
unzip -Z1 "$zip" | grep -v '/$' | sort >"$work/files"
diff -u "$work/expected" "$work/files" || fail "the zip's file list"

unzip -q "$zip" -d "$work"
for program in "${programs[@]}"; do
    exe=$work/$folder/$program
    # Only Windows' own DLLs: the compiler's runtime is linked in.
    x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\tDLL Name: //p' | tr '[:upper:]' '[:lower:]' |
        sort -u >"$work/imports"
    sort "$(dirname "$0")/windows-dlls" | comm -23 "$work/imports" - >"$work/foreign"
    [[ -s "$work/imports" && ! -s "$work/foreign" ]] ||
        fail "$program imports DLLs that are not Windows' own: $(tr '\n' ' ' <"$work/foreign")"
    x86_64-w64-mingw32-objdump -t "$exe" | grep -qx 'no symbols' || fail "$program is not stripped"
done

fresh_wine_prefix zip
trap 'wineserver -k 2>/dev/null || true' EXIT
[[ $(wine "$work/$folder/qeltaudit.exe" --version | tr -d '\r') == "qeltaudit $version" ]] ||
    fail "qeltaudit.exe --version from the unpacked zip"
echo "zip: $zip passes"
