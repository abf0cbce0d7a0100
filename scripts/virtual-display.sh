# shellcheck shell=bash
# Sourced by the screenshot scripts. start_virtual_display WORK-FOLDER starts Xvfb on display
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

# start_window_manager WORK-FOLDER: twm, so that captions show in title bars; windows keep the
# position they ask for. Every twm font is one of xfonts-base, which twm needs one of to start.
start_window_manager() {
    local work=$1
    cat >"$work/twmrc" <<'TWMRC'
UsePPosition "on"
RandomPlacement
NoGrabServer
BorderWidth 1
TitleFont "-misc-fixed-bold-r-normal--13-*-*-*-*-*-*-*"
ResizeFont "fixed"
MenuFont "fixed"
IconFont "fixed"
IconManagerFont "fixed"
Color { TitleBackground "#0a246a" TitleForeground "white" BorderColor "#0a246a" }
TWMRC
    twm -f "$work/twmrc" >/dev/null 2>&1 &
    pids+=($!)
    sleep 1
}

# write_demo_host WORK-FOLDER: a host installation in the folder, registered in
# WORK-FOLDER/QeltOne.reg, whose settings name the data source QeltOne.
write_demo_host() {
    local work=$1
    printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\QeltOne.exe]\r\n@="%s/QeltOne.exe"\r\n' \
        "$work" >"$work/QeltOne.reg"
    printf '[General]\nIniPath=%s/\n' "$work" >"$work/QeltOnePaths.ini"
    printf '[General]\nQeltOneDataPath=%s/\nQeltOneDataBase=DSN=QeltOne\n' "$work" >"$work/QeltOne.ini"
}
