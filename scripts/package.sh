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

# Each build folder lists the programs it makes: the Windows window joins once the build has it.
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
mapfile -t programs <build/packaging/programs
make_packages build "${programs[@]}" qelt_package_files

cmake --preset windows-cross >/dev/null
mapfile -t programs <build-windows/packaging/programs
make_packages build-windows "${programs[@]}"

ls -l "$dist"
