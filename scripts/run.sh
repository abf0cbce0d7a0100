#!/usr/bin/env bash
# Builds qeltaudit, the demo database and the demo host installation, and prints the audit script
# for the Companies table of the database that the host installation names.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

scripts/setup.sh
scripts/build.sh build >/dev/null
. scripts/demo-env.sh build
build/src/cli/qeltaudit --show-settings >&2
build/src/cli/qeltaudit --table Companies
