#!/usr/bin/env bash
# Builds and runs the tests, installing what they need first.
#   scripts/test.sh [STAGE...]     with no stage: all of them, in this order
#     unit       the build folder `build` and every test registered there
#     sanitize   the same under AddressSanitizer and UndefinedBehaviorSanitizer (build-sanitize)
#     fuzz       the libFuzzer targets over their committed corpora, then 20,000 seeded runs each
#     windows    the Windows build under Wine, compared with the Linux build
#     packages   the release packages in dist/, checked as they are installed
#     engine     the T-SQL engine: built and started; its tests run in `unit` and `sanitize`, or
#                alone (in `build`) when neither of those is named
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

all_stages=(unit sanitize fuzz windows packages engine)
stages=("$@")
((${#stages[@]})) || stages=("${all_stages[@]}")
for stage in "${stages[@]}"; do
    [[ " ${all_stages[*]} " == *" $stage "* ]] ||
        { echo "test: unknown stage '$stage' (stages: ${all_stages[*]})" >&2; exit 64; }
done
wants() { [[ " ${stages[*]} " == *" $1 "* ]]; }

scripts/setup.sh

# The T-SQL engine that the scripts are installed and run on (Babelfish through FreeTDS): built
# once per machine from ../shared/tsql-engine (about 6 minutes the first time), then started.
# The engine tests are registered only when this run built and started it: an env.sh left by an
# earlier run names an engine that may not start now.
engine=(-DQELT_TSQL_ENV=)
if wants engine; then
    if scripts/tsql-engine.sh build; then
        engine=(-DQELT_TSQL_ENV="$(scripts/tsql-engine.sh env-file)")
    elif [[ ${stages[*]} == engine ]]; then
        echo "test: the T-SQL engine could not be built or started" >&2
        exit 1
    else
        echo "test: THE T-SQL ENGINE COULD NOT BE BUILT OR STARTED: the engine tests are left out" >&2
    fi
fi

if wants unit; then
    scripts/build.sh build "${engine[@]}"
    ctest --test-dir build --output-on-failure --parallel "$(nproc)"
fi

if wants sanitize; then
    export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
    export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
    scripts/build.sh build-sanitize -DQELT_SANITIZE=ON -DQELT_BUILD_BENCHMARKS=OFF "${engine[@]}"
    ctest --test-dir build-sanitize --output-on-failure --parallel "$(nproc)"
fi

if wants engine && ! wants unit && ! wants sanitize; then
    scripts/build.sh build "${engine[@]}"
    # Each engine test target is labelled with its own name.
    ctest --test-dir build --output-on-failure --no-tests=error -L '^test_(tsql_engine|dbsession_tsql)$'
fi

# Deterministic: every committed corpus input once, then 20,000 runs each from a fixed seed
# (about 1.5 minutes).
if wants fuzz; then
    scripts/fuzz.sh --replay 20000
fi

if wants windows; then
    scripts/test-windows.sh build
fi

if wants packages; then
    scripts/package.sh && tests/package/run.sh
fi
