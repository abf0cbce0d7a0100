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
echo "QeltAuditTrigger --help and --version without a display: pass"
