#!/usr/bin/env bash
# qeltaudit in an address space of 200 MB, with files of 256 MB (sparse, so made at once): a
# settings file without line ends, UTF-8 or UTF-16, is read in little memory, and a registry file
# that cannot be held ends the run with its message and exit code 71 instead of an abort.
#   tests/cli/out-of-memory.sh QELTAUDIT
set -euo pipefail
qeltaudit=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

mkdir "$work/host"
printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\QeltOne.exe]\r\n@="%s/host/QeltOne.exe"\r\n' \
    "$work" >"$work/QeltOne.reg"
truncate -s 256M "$work/host/QeltOne.ini"

# run REGISTRY: qeltaudit --show-settings under the limit; sets status, out and err.
run() {
    status=0
    (ulimit -v 200000 && QELT_REGISTRY=$1 exec "$qeltaudit" --show-settings) \
        >"$work/out" 2>"$work/err" || status=$?
    out=$(cat "$work/out")
    err=$(cat "$work/err")
}

for bom in '' '\xff\xfe' '\xfe\xff'; do
    printf '%b' "$bom" | dd of="$work/host/QeltOne.ini" conv=notrunc status=none
    run "$work/QeltOne.reg"
    [[ $status -eq 0 ]] || fail "256 MB settings file '$bom': exit $status, $err"
    [[ $out == "Host folder: $work/host/"$'\n'"Data folder: "$'\n'"Database: QeltOne.mdb" ]] ||
        fail "256 MB settings file '$bom': $out"
done

truncate -s 256M "$work/big.reg"
run "$work/big.reg"
[[ $status -eq 71 ]] || fail "256 MB registry file: exit $status, $err"
[[ $err == "qeltaudit: out of memory" && -z $out ]] || fail "256 MB registry file: $out / $err"
echo "out of memory: passes"
