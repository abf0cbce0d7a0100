#!/usr/bin/env bash
# Runs the command on the X display in DISPLAY, or on a private virtual display when there is
# none: the window tests under Wine need one.
set -euo pipefail
if [[ -n "${DISPLAY:-}" ]]; then
    exec "$@"
fi
exec xvfb-run --auto-servernum --server-args="-screen 0 1280x1024x24 -nolisten tcp" "$@"
