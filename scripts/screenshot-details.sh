#!/usr/bin/env bash
# Takes docs/failure-details.png and docs/failure-details-windows.png: the window on a virtual X
# display (Qt, then QeltAuditTrigger.exe in a Wine desktop of its own, in a fresh prefix
# build-windows/wineprefix-details-screenshot) after Create on a database file that is not
# there, with the message box's details shown. The database text is typed into the window as a
# person would.
# Usage: scripts/screenshot-details.sh [BUILD-FOLDER]   (default: build; both builds are made
# first). QELT_SCREENSHOT_DISPLAY=N uses display :N instead of a free one.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${1:-$root/build}")
cd "$root"
# shellcheck source=virtual-display.sh
. scripts/virtual-display.sh

cmake --build "$build" --parallel 2 --target QeltAuditTrigger >/dev/null
cmake --preset windows-cross >/dev/null
cmake --build --preset windows-cross --parallel 2 --target QeltAuditTrigger >/dev/null
program=$build/src/mainwindow/QeltAuditTrigger
work=$(mktemp -d)
pids=()
export WINEPREFIX=$root/build-windows/wineprefix-details-screenshot WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
# The Wine desktop and the window in it end with the prefix's server.
cleanup() {
    wineserver -k 2>/dev/null || true
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT

start_virtual_display "$work"
start_window_manager "$work"

write_demo_host "$work"
QELT_REGISTRY=$work/QeltOne.reg QT_QPA_PLATFORM=xcb "$program" &
pids+=($!)
window=$(xdotool search --sync --onlyvisible --name '^QeltAuditTrigger \(Version' | head -n1)
sleep 1

# twm's focus follows the pointer: it stays inside the window that is to get the keys.
click() { xdotool mousemove --window "$1" --sync "$2" "$3" click 1; }
click "$window" 250 36 # txtDatabaseName at 93,27, 316 x 19
xdotool key ctrl+a type --delay 20 /srv/QeltOne/QeltOne.db
click "$window" 160 456 # cmdCreate
box=$(xdotool search --sync --onlyvisible --name '^QeltAuditTrigger$' | head -n1)
sleep 1
xdotool mousemove --window "$box" --sync 20 20
# OK has the focus; Shift+Tab goes round to the details button.
xdotool key shift+Tab space
sleep 1
import -window root "$root/docs/failure-details.png"
xdotool key Escape
echo "screenshot: docs/failure-details.png"

# Under Wine: a first start without QeltOne, at 96 dpi with Wine's Tahoma.
rm -rf "$WINEPREFIX"
tests/wine/prepare-dpi-prefix.sh 96
wine explorer /desktop=QeltDetails,560x560 "$root/build-windows/src/mainwindow/QeltAuditTrigger.exe" &
pids+=($!)
desktop=$(xdotool search --sync --name '^QeltDetails - Wine desktop' | head -n1)
sleep 5
click "$desktop" 310 85 # txtDatabaseName
xdotool key ctrl+a type --delay 30 'C:\QeltData\QeltOne.mdb'
xdotool key alt+c
sleep 3
click "$desktop" 118 306 # the task dialog's "Show details", below its text
sleep 2
import -window "$desktop" "$root/docs/failure-details-windows.png"
echo "screenshot: docs/failure-details-windows.png"
