#!/usr/bin/env bash
# Starts the window program under Wine on the display in DISPLAY, waits for its versioned
# caption, presses Alt+O in it and checks that the program ends with exit code 0.
#   tests/wine/window-starts.sh QeltAuditTrigger.exe
set -euo pipefail
: "${DISPLAY:?}"
wine "$1" &
program=$!
window=$(timeout 60 xdotool search --sync --name '^QeltAuditTrigger \(Version 3\.6\.2\)$' | head -n1)
xdotool windowfocus --sync "$window"
xdotool key alt+o
status=0
timeout 30 tail --pid="$program" -f /dev/null || status=$?
if ((status != 0)); then
    kill "$program" 2>/dev/null || true
    echo "window-starts: the program did not end on Alt+O" >&2
    exit 1
fi
wait "$program"
