#!/usr/bin/env bash
# Takes docs/window-windows.png: QeltAuditTrigger.exe under Wine, in a Wine desktop of its own
# (Wine draws the title bar) on a virtual X display, with QeltOne installed in a fresh prefix
# whose settings name the data source "DSN=QeltOne" (a private odbc.ini pointing at the demo
# database); presses Alt+C and captures the desktop.
# Usage: scripts/screenshot-windows.sh [NATIVE-BUILD-FOLDER]   (default: build; both builds
# are made first). QELT_SCREENSHOT_DISPLAY=N uses display :N instead of a free one.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
native=$(realpath -m "${1:-$root/build}")
cd "$root"
# shellcheck source=virtual-display.sh
. scripts/virtual-display.sh

scripts/build.sh "$native" >/dev/null
cmake --preset windows-cross >/dev/null
cmake --build --preset windows-cross --parallel "$(nproc)" --target QeltAuditTrigger >/dev/null
program=$root/build-windows/src/mainwindow/QeltAuditTrigger.exe
work=$(mktemp -d)
pids=()
cleanup() {
    WINEPREFIX=$WINEPREFIX wineserver -k 2>/dev/null || true
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
export WINEPREFIX=$root/build-windows/wineprefix-screenshot WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
trap cleanup EXIT

start_virtual_display "$work"

# A fresh prefix with Wine's Tahoma at 96 dpi, and QeltOne installed in it.
rm -rf "$WINEPREFIX"
tests/wine/prepare-dpi-prefix.sh 96
drive_c=$WINEPREFIX/drive_c
mkdir -p "$drive_c/Program Files/QeltOne" "$drive_c/QeltData"
printf '[General]\r\nIniPath=C:\\Program Files\\QeltOne\\\r\n' \
    >"$drive_c/Program Files/QeltOne/QeltOnePaths.ini"
printf '[General]\r\nQeltOneDataPath=C:\\QeltData\\\r\nQeltOneDataBase=DSN=QeltOne\r\n' \
    >"$drive_c/Program Files/QeltOne/QeltOne.ini"
wine reg add 'HKLM\Software\Microsoft\Windows\CurrentVersion\App Paths\QeltOne.exe' /ve \
    /t REG_SZ /d 'C:\Program Files\QeltOne\QeltOne.exe' /f >/dev/null
printf '[QeltOne]\nDriver=SQLite3\nDatabase=%s\nNoCreat=1\n' "$native/demo/QeltOne.db" \
    >"$work/odbc.ini"
export ODBCINI=$work/odbc.ini

# A desktop just larger than the window, so the picture is the window with a narrow margin.
wine explorer /desktop=QeltOne,465x530 "$program" &
pids+=($!)
desktop=$(xdotool search --sync --name '^QeltOne - Wine desktop' | head -n1)
sleep 3
# A click into the script box makes the window the active one, as a person's would.
xdotool mousemove --window "$desktop" 230 300 click 1
sleep 1
xdotool key alt+c
sleep 2
import -window "$desktop" "$root/docs/window-windows.png"
xdotool key alt+o
wineserver -w
echo "screenshot: docs/window-windows.png"
