#!/usr/bin/env bash
# Checks the release packages that scripts/package.sh wrote into dist/, each as it is installed.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
for test in deb install zip installer; do
    "$here/$test.sh"
done
