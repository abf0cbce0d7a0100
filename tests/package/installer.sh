#!/usr/bin/env bash
# The Windows installer as an administrator runs it, in a throw-away Wine prefix with the host
# product installed: silent install, its files, Start-menu shortcut and Add/Remove Programs
# entry, the installed qeltaudit.exe, then silent uninstall leaving nothing of its own behind
# and the host product's registry keys and files as they were.
set -euo pipefail
# shellcheck source-path=SCRIPTDIR source=common.sh
source "$(dirname "$0")/common.sh"
require_package "$setup"
work=$windows_build/package-tests/installer
rm -rf "$work" && mkdir -p "$work"

fresh_wine_prefix installer
trap 'wineserver -k 2>/dev/null || true' EXIT
install_dir="$drive_c/Program Files/QeltAuditTrigger"
start_menu="$drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/QeltAuditTrigger"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\QeltAuditTrigger'

# The host product, installed as its own installation records it.
host_dir="$drive_c/Program Files/QeltOne"
mkdir -p "$host_dir"
printf '[General]\r\nIniPath=C:\\QeltData\r\n' >"$host_dir/QeltOnePaths.ini"
wine reg add 'HKLM\Software\Microsoft\Windows\CurrentVersion\App Paths\QeltOne.exe' /ve \
    /t REG_SZ /d 'C:\Program Files\QeltOne\QeltOne.exe' /f >/dev/null
wine reg add 'HKLM\Software\QeltOne' /v DataPath /t REG_SZ /d 'C:\QeltData' /f >/dev/null
wine reg add 'HKCU\Software\QeltOne' /v LastTable /t REG_SZ /d 'Companies' /f >/dev/null

# snapshot NAME: the registry below Software of both hives and every file (with its checksum)
# and folder outside Windows' own folder. Left out: Wine's own settings, which hold Wine's passing state, and the network cards,
# which Wine lists the first time a program asks.
snapshot() {
    local hive
    for hive in HKEY_LOCAL_MACHINE HKEY_CURRENT_USER; do
        wine regedit /E "$work/$1-$hive.reg" "$hive\\Software"
        iconv -f UTF-16LE -t UTF-8 "$work/$1-$hive.reg" | tr -d '\r' |
            awk '/^\[/ { skip = /\\Software\\(Wow6432Node\\)?Wine[\\\]]|\\NetworkCards\\/ } !skip' \
                >"$work/$1-$hive.txt"
    done
    # The uninstaller runs from a copy in a temporary folder that Windows empties but keeps.
    (cd "$drive_c" && find . -path ./windows -prune -o -print | sort |
        grep -vx '\./users/[^/]*/Temp/~nsu[^/]*\.tmp' |
        while read -r path; do
            [[ -f "$path" ]] && echo "$path $(md5sum <"$path" | cut -d' ' -f1)" || echo "$path"
        done) >"$work/$1-files.txt"
}

snapshot before
wine "$setup" /S
wineserver -w

# What the installer puts where.
mapfile -t programs < <(windows_programs)
printf '%s\n' "${programs[@]}" LICENSE.txt README.md Uninstall.exe | sort >"$work/expected"
(cd "$install_dir" && find . -type f | sed 's|^\./||' | sort) >"$work/installed"
diff -u "$work/expected" "$work/installed" || fail "the installed files"
# The window, when there is one, has its shortcut; the uninstaller always has one.
window=
[[ " ${programs[*]} " == *" QeltAuditTrigger.exe "* ]] && window=QeltAuditTrigger.exe
printf '%s\n' Uninstall.lnk ${window:+QeltAuditTrigger.lnk} | sort >"$work/expected"
find "$start_menu" -mindepth 1 -printf "%f\n" | sort >"$work/shortcuts"
diff -u "$work/expected" "$work/shortcuts" || fail "the Start-menu shortcuts"
if [[ -n "$window" ]]; then
    grep -qa 'QeltAuditTrigger\\QeltAuditTrigger.exe' "$start_menu/QeltAuditTrigger.lnk" ||
        fail "the shortcut does not lead to the installed QeltAuditTrigger.exe"
fi

# registry_value NAME [TYPE]: one value of the Add/Remove Programs entry, if it has that type
# (REG_SZ unless given).
registry_value() {
    wine reg query "$uninstall_key" /v "$1" | tr -d '\r' | sed -n "s/^ *$1 *${2:-REG_SZ} *//p"
}
icon=${window:-qeltaudit.exe}
[[ $(registry_value DisplayName) == QeltAuditTrigger ]] || fail "DisplayName"
[[ $(registry_value DisplayVersion) == "$version" ]] || fail "DisplayVersion"
[[ $(registry_value Publisher) == "The QeltAuditTrigger developers" ]] || fail "Publisher"
[[ $(registry_value DisplayIcon) == "C:\\Program Files\\QeltAuditTrigger\\$icon" ]] ||
    fail "DisplayIcon: $(registry_value DisplayIcon)"
[[ $(registry_value UninstallString) == '"C:\Program Files\QeltAuditTrigger\Uninstall.exe"' ]] ||
    fail "UninstallString: $(registry_value UninstallString)"
[[ $(registry_value QuietUninstallString) == \
    '"C:\Program Files\QeltAuditTrigger\Uninstall.exe" /S' ]] ||
    fail "QuietUninstallString: $(registry_value QuietUninstallString)"
[[ $(registry_value InstallLocation) == 'C:\Program Files\QeltAuditTrigger' ]] ||
    fail "InstallLocation: $(registry_value InstallLocation)"
for name in NoModify NoRepair; do
    [[ $(registry_value $name REG_DWORD) == 0x1 ]] || fail "$name is not the number 1"
done
# The size in KiB of what was installed, as Windows shows it in the list.
bytes=$(find "$install_dir" -type f -printf '%s\n' | awk '{ total += $1 } END { print total }')
size=$(registry_value EstimatedSize REG_DWORD)
if [[ -z $size ]] || (($(printf '%d' "$size") != bytes / 1024)); then
    fail "EstimatedSize: ${size:-not a number}, $bytes bytes installed"
fi

# The pages a person sees, in the script makensis built the installer from: the product's
# words and pictures instead of the tool's, the drivers the window needs, and a box to run it.
nsi=$windows_build/cpack/_CPack_Packages/win64/NSIS/project.nsi
[[ -f $nsi ]] || fail "$nsi missing: scripts/package.sh writes it"
# One pattern a line; each must match a line of the script.
while read -r pattern; do
    found=
    while read -r defined; do
        # shellcheck disable=SC2053 # the expected line is a pattern
        [[ $defined == $pattern ]] && found=yes && break
    done < <(sed 's/^ *//' "$nsi")
    [[ -n $found ]] || fail "the installer's script lacks: $pattern"
done <<PATTERNS
BrandingText "QeltAuditTrigger $version"
!define MUI_ICON "*/QeltAuditTrigger.ico"
!define MUI_HEADERIMAGE_BITMAP "*/QeltAuditTrigger-header.bmp"
!define MUI_WELCOMEFINISHPAGE_BITMAP "*/QeltAuditTrigger-welcome.bmp"
!define MUI_FINISHPAGE_RUN "\$INSTDIR\\\\*QeltAuditTrigger.exe"
!define MUI_WELCOMEPAGE_TEXT "Setup will install QeltAuditTrigger $version *"
!define MUI_FINISHPAGE_TEXT "*SQLite3 ODBC Driver*Microsoft Access Driver (\*.mdb, \*.accdb)*odbcad32.exe*Drivers tab*"
PATTERNS
# The welcome and finish texts pass through an InstallOptions file, where a real line end cuts
# the text short.
if grep -q 'PAGE_TEXT ".*\$\\[rn]' "$nsi"; then fail "a page text holds \$\\r or \$\\n"; fi

# The installed command line runs and reads the host installation.
[[ $(wine 'C:\Program Files\QeltAuditTrigger\qeltaudit.exe' --version | tr -d '\r') == \
    "qeltaudit $version" ]] || fail "installed qeltaudit.exe --version"
# shellcheck disable=SC1003 # the backslash ends a Windows folder name
wine 'C:\Program Files\QeltAuditTrigger\qeltaudit.exe' --show-settings | tr -d '\r' |
    grep -qxF 'Host folder: C:\Program Files\QeltOne\' ||
    fail "installed qeltaudit.exe --show-settings"

# Installing again, as a newer version would, first removes what is installed and then puts
# the same files back.
wine "$setup" /S
wineserver -w
(cd "$install_dir" && find . -type f | sed 's|^\./||' | sort) >"$work/reinstalled"
diff -u "$work/installed" "$work/reinstalled" || fail "the files after installing again"
[[ $(registry_value DisplayVersion) == "$version" ]] || fail "DisplayVersion after installing again"

# The uninstaller runs a copy of itself from the temporary folder: wait for that to end.
wine 'C:\Program Files\QeltAuditTrigger\Uninstall.exe' /S
wineserver -w
snapshot after
for part in HKEY_LOCAL_MACHINE HKEY_CURRENT_USER files; do
    diff -u "$work/before-$part.txt" "$work/after-$part.txt" || fail "uninstall left $part changed"
done
echo "installer: $setup passes"
