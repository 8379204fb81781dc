#!/usr/bin/env bash
# Builds the libFuzzer targets with clang, AddressSanitizer and UndefinedBehaviorSanitizer
# in their own build folder, and runs each for a bounded time on its committed seed
# corpus (fuzz/corpus/<target>), the inputs that once failed (fuzz/regressions/<target>)
# and what earlier runs here found. A crash stops the script with a failure; its input
# is kept in build-fuzz/crashes/<target>/: copy it to fuzz/regressions/<target>/, where
# the tests (tests/*/fuzz_regression_*_test.cpp) replay it, and fix the fault.
#
#   ZENTRA_FUZZ_SECONDS   seconds per target (default 60)
#   scripts/fuzz.sh --make-corpus   rewrites the seed corpora instead of fuzzing
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${ZENTRA_FUZZ_SECONDS:-60}"
build=build-fuzz
targets=(fuzz_project_file fuzz_reply fuzz_settings_store fuzz_modbus_tcp)
# Inputs longer than this are cut: the project file's set-up blocks and the first
# samples fit (the rest of an image reads as zero bytes).
declare -A max_len=([fuzz_project_file]=16384 [fuzz_reply]=1100 [fuzz_settings_store]=4096)
max_len[fuzz_modbus_tcp]=1100 # a burst of several gateway frames

CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DZENTRA_FUZZ=ON -DZENTRA_GUI=OFF -DZENTRA_BENCH=OFF -DZENTRA_SANITIZE=ON >/dev/null

if [ "${1:-}" = "--make-corpus" ]; then
    cmake --build "$build" --target zentra-fuzz-corpus -j"$(nproc)"
    rm -rf fuzz/corpus
    "$build/fuzz/zentra-fuzz-corpus" fuzz/corpus
    echo "Seed corpora written to fuzz/corpus/"
    exit 0
fi

cmake --build "$build" --target "${targets[@]}" -j"$(nproc)"

export ASAN_OPTIONS="detect_leaks=0:abort_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
status=0
summary=()
for target in "${targets[@]}"; do
    work="$build/corpus/$target"
    crashes="$build/crashes/$target"
    log="$build/$target.log"
    mkdir -p "$work" "$crashes"
    echo "Fuzzing $target for ${seconds}s"
    inputs=("$work" "fuzz/corpus/$target")
    [ -d "fuzz/regressions/$target" ] && inputs+=("fuzz/regressions/$target")
    if ! "$build/fuzz/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -max_len="${max_len[$target]}" -print_final_stats=1 -artifact_prefix="$crashes/" \
        "${inputs[@]}" >"$log" 2>&1; then
        status=1
        echo "$target FAILED; the input is in $crashes/:"
        grep -E "ERROR|SUMMARY|zentra fuzz|runtime error" "$log" | head -20 || true
    fi
    runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo "?")
    summary+=("$target: $runs executions")
done
printf '%s\n' "${summary[@]}"
if [ "$status" -ne 0 ]; then
    echo "Fuzzing found a fault."
    exit 1
fi
echo "Fuzzing found nothing."
