# shellcheck shell=bash
# Sourced by the screenshot scripts: start_virtual_display WORK-FOLDER starts Xvfb on display
# :$QELT_SCREENSHOT_DISPLAY, or on a free one that Xvfb picks and writes to file descriptor 3,
# adds its process to the caller's `pids` array and exports DISPLAY.
start_virtual_display() {
    local work=$1
    if [[ -n "${QELT_SCREENSHOT_DISPLAY:-}" ]]; then
        Xvfb ":$QELT_SCREENSHOT_DISPLAY" -screen 0 1024x900x24 -nolisten tcp 2>/dev/null &
        pids+=($!)
        echo "$QELT_SCREENSHOT_DISPLAY" >"$work/display"
        sleep 1
    else
        Xvfb -displayfd 3 -screen 0 1024x900x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
        pids+=($!)
        for _ in $(seq 100); do
            [[ -s "$work/display" ]] && break
            sleep 0.1
        done
    fi
    DISPLAY=:$(head -n1 "$work/display")
    export DISPLAY
}
