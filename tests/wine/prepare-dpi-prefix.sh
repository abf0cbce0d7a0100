#!/usr/bin/env bash
# Makes the Wine prefix named by WINEPREFIX ready for the window at the given dots per inch:
# prepared as for every Windows test, with Wine's Tahoma (package fonts-wine) in the prefix's
# font folder, where Wine looks for the fonts of Windows programs, and with the screen's
# LogPixels set, which Wine reads when a program starts.
#   tests/wine/prepare-dpi-prefix.sh DPI
set -euo pipefail
: "${WINEPREFIX:?}"
dpi=$1
"$(dirname "$0")/prepare-prefix.sh"
cp /usr/share/wine/fonts/tahoma.ttf /usr/share/wine/fonts/tahomabd.ttf \
    "$WINEPREFIX/drive_c/windows/Fonts/"
export WINEDEBUG=-all
for key in 'HKCU\Control Panel\Desktop' \
    'HKLM\System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts'; do
    wine reg add "$key" /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null
done
