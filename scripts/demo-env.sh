# shellcheck shell=bash
# Source this file to point qeltaudit and the window at the demo host installation:
#   . scripts/demo-env.sh [BUILD-FOLDER]      (default: the repository's build folder)
# It sets QELT_REGISTRY to the demo registry file that the build writes into
# BUILD-FOLDER/demo/host; `qeltaudit --show-settings` then names the demo database.
qelt_demo_build=${1:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/build}
if [[ -f "$qelt_demo_build/demo/host/QeltOne.reg" ]]; then
    QELT_REGISTRY=$(cd "$qelt_demo_build/demo/host" && pwd)/QeltOne.reg
    export QELT_REGISTRY
else
    echo "demo-env: $qelt_demo_build/demo/host/QeltOne.reg not found; build first (scripts/build.sh build)" >&2
fi
unset qelt_demo_build
