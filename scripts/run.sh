#!/usr/bin/env bash
# Builds qeltaudit and prints the audit script for the demo Companies table.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

scripts/setup.sh
scripts/build.sh build >/dev/null
build/src/cli/qeltaudit --columns demo/Companies.columns --table Companies
