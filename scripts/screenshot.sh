#!/usr/bin/env bash
# Takes docs/window.png: starts the window on a virtual X display with a small window manager,
# with the demo host installation, so that start-up fills txtDatabaseName with the demo
# database; clicks Create and captures the window.
# Usage: scripts/screenshot.sh [BUILD-FOLDER]   (default: build, built first)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${1:-$root/build}")
cd "$root"

scripts/build.sh "$build" >/dev/null
program=$build/src/mainwindow/QeltAuditTrigger
work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT

# A private display: Xvfb picks a free number and writes it to file descriptor 3.
Xvfb -displayfd 3 -screen 0 640x600x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
pids+=($!)
for _ in $(seq 100); do
    [[ -s "$work/display" ]] && break
    sleep 0.1
done
export DISPLAY=:$(head -n1 "$work/display")

# A title bar, so that the caption shows; windows keep the position they ask for.
cat >"$work/twmrc" <<'TWMRC'
UsePPosition "on"
RandomPlacement
NoGrabServer
BorderWidth 1
TitleFont "-*-helvetica-bold-r-normal--12-*-*-*-*-*-*-*"
Color { TitleBackground "#0a246a" TitleForeground "white" BorderColor "#0a246a" }
TWMRC
twm -f "$work/twmrc" >/dev/null 2>&1 &
pids+=($!)
sleep 1

. scripts/demo-env.sh "$build"
QT_QPA_PLATFORM=xcb "$program" &
program_pid=$!
pids+=("$program_pid")
window=$(xdotool search --sync --onlyvisible --name '^QeltAuditTrigger \(Version' | head -n1)
sleep 1

# Controls are placed in pixels from the client area's top left corner. twm's focus follows
# the pointer, so the pointer stays inside the window.
click() { xdotool mousemove --window "$window" --sync "$1" "$2" click 1; }
click 160 456 # cmdCreate at 106,445, 109 x 22
xdotool mousemove --window "$window" 430 475
sleep 1

import -frame -window "$window" "$root/docs/window.png"
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
echo "screenshot: docs/window.png"
