#!/usr/bin/env bash
# Builds qeltaudit and the demo database, and prints the audit script for its Companies table.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

scripts/setup.sh
scripts/build.sh build >/dev/null
build/src/cli/qeltaudit --database build/demo/QeltOne.db --table Companies
