#!/usr/bin/env bash
# Builds the libFuzzer targets with clang++ (AddressSanitizer, UBSan) in build-fuzz and runs them.
# A crash, a leak, a hang (an input taking over 10 s) or a broken promise of the code under test
# fails the run.
#
#   scripts/fuzz.sh --replay [RUNS]   what the test command runs, the same on every machine: each
#                                     committed corpus input once, then RUNS (default 20000)
#                                     further inputs per target from a fixed seed, starting from the
#                                     committed corpus alone.
#   scripts/fuzz.sh [SECONDS]         exploratory: each target for SECONDS (default 60) from a
#                                     random seed, keeping what it finds in build-fuzz/corpus.
#
# A crash found by either mode is minimised into fuzz/corpus/TARGET/regression-HASH and the run
# fails. Fix the fault, check that `scripts/fuzz.sh --replay` passes, and commit the regression
# input with the fix: from then on every replay runs it. By hand, for an artefact from elsewhere:
#   build-fuzz/fuzz/fuzz_TARGET -minimize_crash=1 -runs=20000 \
#       -exact_artifact_path=fuzz/corpus/TARGET/regression-NAME CRASH-FILE
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
mode=explore
if [[ ${1:-} == --replay ]]; then
    mode=replay
    runs=${2:-20000}
else
    seconds=${1:-60}
fi
targets=(text regedit_file profile_text wine_hive columns_file)
limits=(-timeout=10 -rss_limit_mb=2048 -max_len=8192)

CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQELT_FUZZ=ON \
    -DQELT_BUILD_TESTS=OFF -DQELT_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build build-fuzz --parallel "$(nproc)" --target "${targets[@]/#/fuzz_}"

# Minimises the crash libFuzzer left in build-fuzz into the target's committed corpus.
keep_regression() {
    local target=$1 fuzzer=$2 crash
    for crash in build-fuzz/"$target"-crash-* build-fuzz/"$target"-leak-* \
        build-fuzz/"$target"-timeout-*; do
        [[ -f $crash ]] || continue
        local kept
        kept=fuzz/corpus/$target/regression-$(sha1sum "$crash" | cut -c1-12)
        "$fuzzer" -minimize_crash=1 -runs=20000 "${limits[@]}" -exact_artifact_path="$kept" \
            "$crash" >/dev/null 2>&1 || true
        [[ -f $kept ]] || cp "$crash" "$kept"
        echo "fuzz: $target: the failing input is kept as $kept; commit it with the fix" >&2
        rm -f "$crash"
    done
}

for target in "${targets[@]}"; do
    fuzzer=build-fuzz/fuzz/fuzz_$target
    log=build-fuzz/$target.log
    rm -f build-fuzz/"$target"-{crash,leak,timeout}-*
    if [[ $mode == replay ]]; then
        # Each committed input once, by name, then fuzzing from a fixed seed; new inputs go to a
        # fresh folder, so the run starts from the committed corpus on every machine. Without
        # address randomisation, as pointer values would steer the mutations differently.
        work=build-fuzz/replay/$target
        rm -rf "$work" && mkdir -p "$work"
        echo "fuzz: $target: replaying $(find "fuzz/corpus/$target" -type f | wc -l) inputs, then $runs runs with seed 1"
        if ! { find "fuzz/corpus/$target" -type f -print0 | xargs -0 "$fuzzer" "${limits[@]}" &&
            setarch "$(uname -m)" -R "$fuzzer" -seed=1 -runs="$runs" "${limits[@]}" \
                -print_final_stats=1 \
                -artifact_prefix="build-fuzz/$target-" "$work" "fuzz/corpus/$target"; } \
            >"$log" 2>&1; then
            cat "$log"
            keep_regression "$target" "$fuzzer"
            echo "fuzz: $target failed" >&2
            exit 1
        fi
    else
        # New inputs go to the build folder's corpus; the committed seeds are only read.
        work=build-fuzz/corpus/$target
        mkdir -p "$work"
        echo "fuzz: $target for ${seconds}s (log: $log)"
        if ! "$fuzzer" -max_total_time="$seconds" "${limits[@]}" -print_final_stats=1 \
            -artifact_prefix="build-fuzz/$target-" "$work" "fuzz/corpus/$target" >"$log" 2>&1; then
            cat "$log"
            keep_regression "$target" "$fuzzer"
            echo "fuzz: $target failed" >&2
            exit 1
        fi
    fi
    # libFuzzer reports every new input; only its final statistics are shown, all on failure.
    grep -E '^(Done|stat::(number_of_executed_units|new_units_added|peak_rss_mb))' "$log"
done
