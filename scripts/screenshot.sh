#!/usr/bin/env bash
# Takes docs/window.png and docs/window-144dpi.png: starts the window on a virtual X display
# with a small window manager, with a host installation whose settings name the demo database as
# the data source "DSN=QeltOne" (a private odbc.ini), so that no folder of the build machine
# shows; clicks Create and captures the window, once at 96 dots per inch and once at 144 (Qt's
# scale factor 1.5).
# Usage: scripts/screenshot.sh [BUILD-FOLDER]   (default: build, built first)
# QELT_SCREENSHOT_DISPLAY=N uses display :N instead of a free one.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${1:-$root/build}")
cd "$root"
# shellcheck source=virtual-display.sh
. scripts/virtual-display.sh

scripts/build.sh "$build" >/dev/null
program=$build/src/mainwindow/QeltAuditTrigger
work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT

start_virtual_display "$work"

start_window_manager "$work"

# The host installation: registered, its settings naming the data source QeltOne, which a
# private odbc.ini points at the demo database.
write_demo_host "$work"
printf '[QeltOne]\nDriver=SQLite3\nDatabase=%s\nNoCreat=1\n' "$build/demo/QeltOne.db" >"$work/odbc.ini"
# capture SCALE FILE: one run of the window at Qt's scale factor SCALE, captured into FILE.
capture() {
    local scale=$1 file=$2
    QELT_REGISTRY=$work/QeltOne.reg ODBCINI=$work/odbc.ini QT_QPA_PLATFORM=xcb \
        QT_SCALE_FACTOR=$scale "$program" &
    local program_pid=$!
    pids+=("$program_pid")
    local window
    window=$(xdotool search --sync --onlyvisible --name '^QeltAuditTrigger \(Version' | head -n1)
    sleep 1

    # Controls are placed in pixels from the client area's top left corner, scaled on the
    # screen. twm's focus follows the pointer, so the pointer stays inside the window.
    at() { awk -v a="$1" -v s="$scale" 'BEGIN { printf "%d", a * s }'; }
    xdotool mousemove --window "$window" --sync "$(at 160)" "$(at 456)" click 1 # cmdCreate
    xdotool mousemove --window "$window" "$(at 430)" "$(at 475)"
    sleep 1

    import -frame -window "$window" "$file"
    xdotool key alt+o # Close
    for _ in $(seq 50); do
        kill -0 "$program_pid" 2>/dev/null || break
        sleep 0.1
    done
    if kill -0 "$program_pid" 2>/dev/null; then
        echo "screenshot: the window did not close on Alt+O" >&2
        exit 1
    fi
    wait "$program_pid"
}
capture 1 "$root/docs/window.png"
capture 1.5 "$root/docs/window-144dpi.png"
echo "screenshot: docs/window.png docs/window-144dpi.png"
