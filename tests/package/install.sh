#!/usr/bin/env bash
# cmake --install from the Linux build: into any prefix, also staged through DESTDIR, it puts
# the Debian package's files under that prefix, and the installed qeltaudit runs.
set -euo pipefail
# shellcheck source-path=SCRIPTDIR source=common.sh
source "$(dirname "$0")/common.sh"
require_package "$deb"
make_work_folder

dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | sed 's|^\./usr/||' | sort >"$work/expected"

prefix="$work/any prefix"
cmake --install "$root/build" --prefix "$prefix" >/dev/null
(cd "$prefix" && find . -type f | sed 's|^\./||' | sort) >"$work/files"
diff -u "$work/expected" "$work/files" || fail "cmake --install --prefix: the files"
[[ $("$prefix/bin/qeltaudit" --version) == "qeltaudit $version" ]] ||
    fail "qeltaudit --version installed into a prefix"

DESTDIR=$work/stage cmake --install "$root/build" --prefix /opt/qeltaudittrigger >/dev/null
(cd "$work/stage/opt/qeltaudittrigger" && find . -type f | sed 's|^\./||' | sort) >"$work/files"
diff -u "$work/expected" "$work/files" || fail "cmake --install with DESTDIR: the files"
echo "install: cmake --install puts the package's files under any prefix"
