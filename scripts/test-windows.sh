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

# A fresh prefix each run, so no value left by an earlier run can make a test pass.
export WINEPREFIX=$folder/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
rm -rf "$WINEPREFIX"
wineboot -i >/dev/null 2>&1
trap 'wineserver -k 2>/dev/null || true' EXIT

ctest --test-dir "$folder" --output-on-failure --parallel "$(nproc)"

if [[ -n "$native" ]]; then
    work=$folder/compare
    rm -rf "$work" && mkdir -p "$work"
    exe=$folder/src/cli/qeltaudit.exe
    "$native/src/cli/qeltaudit" --columns demo/Companies.columns >"$work/linux.sql"
    wine "$exe" --columns demo/Companies.columns >"$work/windows.sql"
    cmp "$work/linux.sql" "$work/windows.sql"
    # --output replaces an existing file (a rename over it, which Windows refuses by default).
    echo stale >"$work/replaced.sql"
    wine "$exe" --columns demo/Companies.columns --output "$work/replaced.sql"
    cmp "$work/linux.sql" "$work/replaced.sql"
    echo "test-windows: qeltaudit.exe writes the same script as the Linux qeltaudit"
fi
