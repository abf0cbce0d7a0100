#!/usr/bin/env bash
# Makes the Wine prefix named by WINEPREFIX ready for the Windows tests: created when missing,
# then given the registry values and the profile file those tests read through the Windows
# functions.
set -euo pipefail
: "${WINEPREFIX:?}"
export WINEDEBUG=-all
# Wine takes command-line text in the locale's encoding: UTF-8 keeps the non-ASCII values whole.
export LC_ALL=C.UTF-8
if [[ ! -f "$WINEPREFIX/system.reg" ]]; then
    wineboot -i >/dev/null 2>&1
fi

reg_add() { wine reg add "$@" /f >/dev/null; }
machine='HKLM\Software\QeltAuditTests'
user='HKCU\Software\QeltAuditTests'
reg_add "$machine" /ve /t REG_SZ /d 'C:\Program Files\QeltOne\QeltOne.exe'
reg_add "$machine" /v Plain /t REG_SZ /d '%QELT_EXPAND_TEST%\Documents'
reg_add "$machine" /v Expand /t REG_EXPAND_SZ /d '%QELT_EXPAND_TEST%\Documents'
reg_add "$machine" /v Unknown /t REG_EXPAND_SZ /d '%QELT_NOT_SET%\x'
reg_add "$machine" /v LongExpand /t REG_EXPAND_SZ /d '%QELT_LONG_TEST%'
reg_add "$machine" /v Number /t REG_DWORD /d 42
reg_add "$machine" /v Bytes /t REG_BINARY /d 43003a005c00
reg_add "$machine" /v Multi /t REG_MULTI_SZ /d 'one\0two'
reg_add "$machine" /v Empty /t REG_SZ /d ''
reg_add "$machine" /v NonAscii /t REG_SZ /d 'Café Müller €'
reg_add "$machine" /v NotInCodePage /t REG_SZ /d 'Ωmega'
reg_add "$user\\Schlüssel" /v Wert /t REG_SZ /d 'gefunden'

# A profile file named without a folder is read from the Windows directory.
printf '[General]\r\nIniPath=C:\\FromWindowsDirectory\\\r\n' \
    >"$WINEPREFIX/drive_c/windows/QeltAuditTests.ini"

# Database paths that name no regular file, which a Windows program cannot make: a FIFO nothing
# writes to, a link to a device, a socket and a folder.
kinds=$WINEPREFIX/drive_c/QeltAuditTests/Kinds
rm -rf "$kinds"
mkdir -p "$kinds/Folder.mdb"
mkfifo "$kinds/Fifo.db"
ln -s /dev/zero "$kinds/Device.sqlite"
python3 -c 'import socket, sys; socket.socket(socket.AF_UNIX).bind(sys.argv[1])' "$kinds/Socket.db3"

# Wine writes the registry to system.reg and user.reg when its server ends: the tests start from
# a prefix whose files are all on disk.
wineserver -w
