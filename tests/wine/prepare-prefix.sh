#!/usr/bin/env bash
# Makes the Wine prefix named by WINEPREFIX ready for the Windows tests: created when missing.
set -euo pipefail
: "${WINEPREFIX:?}"
export WINEDEBUG=-all
if [[ ! -f "$WINEPREFIX/system.reg" ]]; then
    wineboot -i >/dev/null 2>&1
fi
