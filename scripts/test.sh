#!/usr/bin/env bash
# Builds everything and runs every test: once normally, once under AddressSanitizer and
# UndefinedBehaviorSanitizer. Installs what it needs first.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

scripts/setup.sh

# The T-SQL engine that the scripts are installed and run on (Babelfish through FreeTDS): built
# once per machine from ../shared/tsql-engine (about 6 minutes the first time), then started.
# The engine tests are registered only when this run built and started it: an env.sh left by an
# earlier run names an engine that may not start now.
engine=(-DQELT_TSQL_ENV=)
if scripts/tsql-engine.sh build; then
    engine=(-DQELT_TSQL_ENV="$(scripts/tsql-engine.sh env-file)")
else
    echo "test: THE T-SQL ENGINE COULD NOT BE BUILT OR STARTED: the engine tests are left out" >&2
fi

scripts/build.sh build "${engine[@]}"
ctest --test-dir build --output-on-failure --parallel "$(nproc)"

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
scripts/build.sh build-sanitize -DQELT_SANITIZE=ON -DQELT_BUILD_BENCHMARKS=OFF "${engine[@]}"
ctest --test-dir build-sanitize --output-on-failure --parallel "$(nproc)"

# The text layer and the registry and settings file readers under libFuzzer, deterministically:
# every committed corpus input once, then 20,000 runs each from a fixed seed (about 1.5 minutes).
scripts/fuzz.sh --replay 20000

# The Windows build under Wine, compared with the Linux build.
scripts/test-windows.sh build

# The release packages in dist/, checked as they are installed (about two minutes).
scripts/package.sh && tests/package/run.sh
