#!/usr/bin/env bash
# Makes the release packages in dist/: the Debian package from the Linux build (folder build),
# the Windows installer and portable zip from the Windows cross build (folder build-windows).
# Existing build folders are reused: after scripts/test.sh only the packages are left to make.
#   scripts/package.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
dist=$root/dist

# make_packages FOLDER TARGETS...: builds the targets, then lets cpack make the folder's
# packages in FOLDER/cpack and moves them into dist/.
make_packages() {
    local folder=$1
    shift
    cmake --build "$folder" --parallel "$(nproc)" --target "$@"
    rm -rf "$folder/cpack"
    (cd "$folder" && cpack -B "$root/$folder/cpack" >/dev/null)
    find "$folder/cpack" -maxdepth 1 -type f \( -name '*.deb' -o -name '*.exe' -o -name '*.zip' \) \
        -exec mv -t "$dist" {} +
}

rm -rf "$dist"
mkdir -p "$dist"

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
make_packages build qeltaudit QeltAuditTrigger qelt_package_files

cmake --preset windows-cross >/dev/null
windows_targets=(qeltaudit)
# The Windows window joins the packages once the build has it.
if cmake --build build-windows --target help | grep -Eq '(^|[ .])QeltAuditTrigger(:|$)'; then
    windows_targets+=(QeltAuditTrigger)
fi
make_packages build-windows "${windows_targets[@]}"

ls -l "$dist"
