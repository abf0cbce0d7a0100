#!/usr/bin/env bash
# The window's --help and --version with no display to open and no Qt platform chosen (under
# Wine: the Win32 program with its standard output redirected): each prints its text and exits
# 0 at once, and a full standard output is an error.
#   tests/mainwindow/without-display.sh VERSION PROGRAM...
set -euo pipefail
version=$1
shift
fail() {
    echo "FAIL: $*" >&2
    exit 1
}
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
[[ $(timeout 60 "$@" --version | tr -d '\r') == "QeltAuditTrigger $version" ]] ||
    fail "--version"
help=$(timeout 60 "$@" -style fusion --help | tr -d '\r')
[[ $help == "Usage: QeltAuditTrigger [--help | --version]"* ]] || fail "--help: $help"
awk 'length > 80 { exit 1 }' <<<"$help" || fail "--help has lines over 80 columns"
status=0
timeout 60 "$@" --version >/dev/full 2>/dev/null || status=$?
[[ $status -eq 74 ]] || fail "--version into a full disk exits $status"
# Standard output closed at start: the text must not vanish into what takes its place; a reader
# gone is a failed write, not the end by SIGPIPE. (Under Wine the window program shows its text
# in a message box when it has no standard output.)
if [[ $# -eq 1 ]]; then
    status=0
    timeout 60 "$@" --version >&- 2>/dev/null || status=$?
    [[ $status -eq 74 ]] || fail "--version with standard output closed exits $status"
    # A pipe whose reading end is closed before the program starts.
    status=$(python3 - "$@" <<'EOF'
import os, subprocess, sys
reading, writing = os.pipe()
os.close(reading)
run = subprocess.run(sys.argv[1:] + ["--help"], stdout=writing, stderr=subprocess.DEVNULL,
                     timeout=60)
print(run.returncode)
EOF
)
    [[ $status -eq 74 ]] || fail "--help into a pipe without a reader exits $status"
fi
echo "QeltAuditTrigger --help and --version without a display: pass"
