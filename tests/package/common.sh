# shellcheck shell=bash disable=SC2034 # the variables are for the scripts that source this
# Shared by the package tests: where the packages are and what the builds made.
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
dist=${QELT_DIST:-$root/dist}
windows_build=${QELT_WINDOWS_BUILD:-$root/build-windows}
version=$(sed -n 's/^project(QeltAuditTrigger VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
[[ -n "$version" ]] || { echo "no project version in CMakeLists.txt" >&2; exit 1; }
# The files scripts/package.sh writes.
deb=$dist/qeltaudittrigger_${version}-1_amd64.deb
zip=$dist/QeltAuditTrigger-${version}-win64.zip
setup=$dist/QeltAuditTrigger-${version}-win64-setup.exe

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# Fails unless scripts/package.sh has made the package file.
require_package() {
    [[ -f "$1" ]] || fail "$1 missing: run scripts/package.sh first"
}

# A temporary folder in $work, removed when the test ends.
make_work_folder() {
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
}

# The programs of the Windows packages, as .exe names: the command line and the window.
windows_programs() {
    printf '%s\n' qeltaudit.exe QeltAuditTrigger.exe
}

# A Wine prefix of its own for one test, inside the Windows build folder, made afresh.
fresh_wine_prefix() {
    export WINEPREFIX=$windows_build/package-tests/wineprefix-$1 WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml="
    wineserver -k 2>/dev/null || true # a server left from an earlier run still writes there
    rm -rf "$WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1
    drive_c=$WINEPREFIX/drive_c
}
