#!/usr/bin/env bash
# Builds the libFuzzer targets with clang++ (AddressSanitizer, UBSan) in build-fuzz and runs each
# for a bounded time, starting from its committed seed corpus. A crash, a leak, a hang (an input
# taking over 10 s) or a broken promise of the reader fails the run.
#   scripts/fuzz.sh [SECONDS-PER-TARGET]      (default 60)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
seconds=${1:-60}
targets=(regedit_file profile_text wine_hive)

CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQELT_FUZZ=ON \
    -DQELT_BUILD_TESTS=OFF -DQELT_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build build-fuzz --parallel "$(nproc)" --target "${targets[@]/#/fuzz_}"

for target in "${targets[@]}"; do
    # New inputs go to the build folder's corpus; the committed seeds are only read.
    work=build-fuzz/corpus/$target
    mkdir -p "$work"
    log=build-fuzz/$target.log
    echo "fuzz: $target for ${seconds}s (log: $log)"
    # libFuzzer reports every new input; only its final statistics are shown, all on failure.
    if ! "build-fuzz/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=10 \
        -rss_limit_mb=2048 -max_len=8192 -print_final_stats=1 \
        -artifact_prefix="build-fuzz/$target-" "$work" "fuzz/corpus/$target" >"$log" 2>&1; then
        cat "$log"
        echo "fuzz: $target failed" >&2
        exit 1
    fi
    grep -E '^(Done|stat::(number_of_executed_units|new_units_added|peak_rss_mb))' "$log"
done
