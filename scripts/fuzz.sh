#!/bin/sh
# Builds the libFuzzer harnesses of fuzz/ (clang, AddressSanitizer, UBSan)
# into build-fuzz/ and runs each for the given number of seconds (default 60)
# over its seed corpus, one after the other, then reports the executions and
# time of each. Inputs that add coverage collect in build-fuzz/corpus/, never
# in the seed corpus; a crashing, hanging or leaking input is written to
# build-fuzz/findings/<harness>/ and makes the script fail.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
build="$root/build-fuzz"

cmake -S "$root/fuzz" -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j 2 >"$build/build.log" 2>&1 || {
    cat "$build/build.log"
    exit 1
}

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:detect_stack_use_after_return=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp:print_suppressions=0"

failed=""
for harness in load differential handoff; do
    seeds="$root/fuzz/corpus/$harness"
    case $harness in
    load) options="-dict=$root/fuzz/trace.dict -max_len=16384" ;;
    # Both readers of a trace file, from the load's seeds.
    differential)
        options="-dict=$root/fuzz/trace.dict -max_len=16384"
        seeds="$root/fuzz/corpus/load"
        ;;
    handoff) options="-dict=$root/fuzz/handoff.dict -max_len=1100" ;;
    esac
    corpus="$build/corpus/$harness"
    findings="$build/findings/$harness"
    log="$build/fuzz_$harness.log"
    mkdir -p "$corpus" "$findings"
    # New inputs go to the first directory; the seeds are only read.
    # shellcheck disable=SC2086
    if "$build/fuzz_$harness" $options -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$findings/" "$corpus" "$seeds" >"$log" 2>&1; then
        runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
        time=$(sed -n 's/^Done [0-9]* runs in \([0-9]*\) second.*/\1/p' "$log")
        echo "fuzz_$harness: $runs executions in $time s without a finding"
    else
        echo "fuzz_$harness: FINDING (inputs in $findings, log in $log)"
        tail -n 60 "$log"
        failed="$failed fuzz_$harness"
    fi
done
[ -z "$failed" ] || {
    echo "Findings in:$failed"
    exit 1
}
