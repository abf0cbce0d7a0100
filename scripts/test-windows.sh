#!/usr/bin/env bash
# Builds the Windows programs with mingw-w64 (CMake preset windows-cross, folder build-windows)
# and runs their tests under Wine in a throw-away prefix inside that folder. Given a native
# build folder, also checks that qeltaudit.exe writes the same bytes as the Linux qeltaudit.
#   scripts/test-windows.sh [NATIVE-BUILD-FOLDER]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
native=${1:-}
folder=$root/build-windows

cmake --preset windows-cross >/dev/null
cmake --build --preset windows-cross --parallel "$(nproc)"

# The programs must start on a bare Windows: no DLL of the compiler's beside them.
for exe in "$folder"/src/cli/qeltaudit.exe "$folder"/tests/*.exe; do
    if x86_64-w64-mingw32-objdump -p "$exe" | grep -i "DLL Name: lib"; then
        echo "test-windows: $exe needs a DLL of the compiler" >&2
        exit 1
    fi
done

# A fresh prefix each run, so no value left by an earlier run can make a test pass.
export WINEPREFIX=$folder/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
rm -rf "$WINEPREFIX"
wineboot -i >/dev/null 2>&1
wineserver -w # the registry reaches system.reg and user.reg when the server ends
trap 'wineserver -k 2>/dev/null || true' EXIT

ctest --test-dir "$folder" --output-on-failure --parallel "$(nproc)"

[[ -z "$native" ]] && exit 0
linux=$native/src/cli/qeltaudit
exe=$folder/src/cli/qeltaudit.exe
work=$folder/compare
rm -rf "$work" && mkdir -p "$work"

wine "$exe" --columns demo/Companies.columns >"$work/windows.sql"
"$linux" --columns demo/Companies.columns >"$work/linux.sql"
cmp "$work/linux.sql" "$work/windows.sql"
# --output replaces an existing file (a rename over it, which Windows refuses by default).
echo stale >"$work/replaced.sql"
wine "$exe" --columns demo/Companies.columns --output "$work/replaced.sql"
cmp "$work/linux.sql" "$work/replaced.sql"
# The Windows ODBC session on a real driver: Wine's odbc32 hands the connection to unixODBC.
database="DRIVER=SQLite3;Database=$native/demo/QeltOne.db;NoCreat=1"
for table in Companies Contacts Consultants Requirements; do
    "$linux" --database "$database" --table "$table" >"$work/linux-$table.sql"
    wine "$exe" --database "$database" --table "$table" >"$work/windows-$table.sql"
    cmp "$work/linux-$table.sql" "$work/windows-$table.sql"
done
echo "test-windows: qeltaudit.exe writes the same scripts as the Linux qeltaudit"

# Database files named the Windows way reach unixODBC's drivers by their Unix names: a copy of the
# demo database on C: (also typed in another letter case than on disk) and the demo database by
# its Z: name. An .mdb on C: that is no Access database reaches MDBTools, which names the Unix
# file it could not read.
mkdir -p "$WINEPREFIX/drive_c/QeltData" "$WINEPREFIX/drive_c/QeltDäta"
cp "$native/demo/QeltOne.db" "$WINEPREFIX/drive_c/QeltData/Main.db"
cp "$native/demo/QeltOne.db" "$WINEPREFIX/drive_c/QeltDäta/Main.db"
# tr reads '\\' as one backslash, the Windows separator.
# shellcheck disable=SC1003
z_name="Z:$(realpath "$native/demo/QeltOne.db" | tr / '\\')"
# A name beyond ASCII reaches the program in UTF-16 (wmain), whatever the code page.
for name in 'C:\QeltData\Main.db' 'c:\qeltdata\MAIN.DB' "$z_name" 'C:\QeltDäta\Main.db'; do
    LC_ALL=C.UTF-8 wine "$exe" --database "$name" --table Companies >"$work/windows-path.sql"
    cmp "$work/linux-Companies.sql" "$work/windows-path.sql"
done
printf 'not an Access database' >"$WINEPREFIX/drive_c/QeltData/Main.mdb"
status=0
wine "$exe" --database 'C:\QeltData\Main.mdb' >"$work/mdb.out" 2>"$work/mdb.err" || status=$?
if [[ $status != 1 || -s "$work/mdb.out" ]] ||
    ! grep -qF "Unable to locate database $WINEPREFIX/dosdevices/c:/QeltData/Main.mdb" "$work/mdb.err"; then
    echo "test-windows: C:\\QeltData\\Main.mdb did not reach MDBTools by its Unix name" >&2
    cat "$work/mdb.err" >&2
    exit 1
fi
rm -r "$WINEPREFIX/drive_c/QeltData" "$WINEPREFIX/drive_c/QeltDäta"
echo "test-windows: qeltaudit.exe hands Windows file names to the drivers as Unix names"

# A host installation in the prefix: the App Paths entry, the paths file in the host folder
# pointing into the documents folder, the settings file there. Names on disk differ in letter
# case from the names the settings use, as Windows allows.
drive_c=$WINEPREFIX/drive_c
for documents in "$drive_c"/users/*/Documents; do
    # wineboot links Documents to the Unix home; the test must not write there.
    if [[ -L "$documents" ]]; then
        rm "$documents" && mkdir "$documents"
    fi
    mkdir -p "$documents/QELTONE"
    printf '[General]\r\nQeltOneDataPath=C:\\QeltData\\\r\nQeltOneDataBase=Main.mdb\r\n' \
        >"$documents/QELTONE/qeltone.ini"
done
mkdir -p "$drive_c/Program Files/QeltOne"
# $(MyDocuments) is the host's own placeholder, written as it stands.
# shellcheck disable=SC2016
printf '[General]\r\nIniPath=$(MyDocuments)\\QeltOne\r\n' \
    >"$drive_c/Program Files/QeltOne/qeltonepaths.ini"
wine reg add 'HKLM\Software\Microsoft\Windows\CurrentVersion\App Paths\QeltOne.exe' /ve \
    /t REG_SZ /d '"C:\Program Files\QeltOne\QeltOne.exe"' /f >/dev/null
expected=$'Host folder: C:\\Program Files\\QeltOne\\\nData folder: C:\\QeltData\\\nDatabase: C:\\QeltData\\Main.mdb'
diff <(echo "$expected") <(wine "$exe" --show-settings)
wineserver -w # the registry reaches system.reg when the server ends
diff <(echo "$expected") <(env -u QELT_REGISTRY -u QELT_WINDOWS_DIR "$linux" --show-settings)
echo "test-windows: qeltaudit --show-settings reads the Wine prefix as qeltaudit.exe under Wine does"

# The App Paths value as installers often write it, REG_EXPAND_SZ with %ProgramFiles%: the Linux
# qeltaudit expands it with the environment Wine gives programs in the prefix, so both name the
# same host folder.
wine reg add 'HKLM\Software\Microsoft\Windows\CurrentVersion\App Paths\QeltOne.exe' /ve \
    /t REG_EXPAND_SZ /d '"%ProgramFiles%\QeltOne\QeltOne.exe"' /f >/dev/null
wine "$exe" --show-settings >"$work/windows-expand.txt"
wineserver -w
env -u QELT_REGISTRY -u QELT_WINDOWS_DIR "$linux" --show-settings >"$work/linux-expand.txt"
diff <(echo "$expected") "$work/windows-expand.txt"
diff "$work/windows-expand.txt" "$work/linux-expand.txt"
echo "test-windows: qeltaudit expands REG_EXPAND_SZ App Paths as qeltaudit.exe under Wine does"

# ---- The window -----------------------------------------------------------------------------
# QeltAuditTrigger.exe is static too, carries the project version, and under Wine starts from the
# host installed in the prefix above: its window shows the versioned caption and Alt+O ends it.
exe=$folder/src/mainwindow/QeltAuditTrigger.exe
if x86_64-w64-mingw32-objdump -p "$exe" | grep -i "DLL Name: lib"; then
    echo "test-windows: $exe needs a DLL of the compiler" >&2
    exit 1
fi
strings -el "$exe" | grep -qx '3.6.2' || {
    echo "test-windows: $exe has no version resource 3.6.2" >&2
    exit 1
}
tests/wine/with-display.sh tests/wine/window-starts.sh "$exe"
echo "test-windows: QeltAuditTrigger.exe starts, shows its window and ends on Alt+O"
