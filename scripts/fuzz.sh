#!/usr/bin/env bash
# Builds the libFuzzer targets with clang, AddressSanitizer and UndefinedBehaviorSanitizer
# in their own build folder, and runs each for a bounded time on its committed seed
# corpus (fuzz/corpus/<target>), the inputs that once failed (fuzz/regressions/<target>)
# and what earlier runs here found. A crash stops the script with a failure; its input
# is kept in build-fuzz/crashes/<target>/: copy it to fuzz/regressions/<target>/, where
# the tests (tests/*/fuzz_regression_*_test.cpp) replay it, and fix the fault.
#
#   ZENTRA_FUZZ_BUDGET    seconds for the whole stage, build included (default 230);
#                         what the build leaves is shared out among the targets
#   ZENTRA_FUZZ_SECONDS   seconds per target instead (60 to measure a target)
#   scripts/fuzz.sh --make-corpus   rewrites the seed corpora instead of fuzzing
set -euo pipefail
cd "$(dirname "$0")/.."

started=$SECONDS
budget="${ZENTRA_FUZZ_BUDGET:-230}"
build=build-fuzz
# Each target with the longest input it takes (longer ones are cut): the project
# file's set-up front and eight sample records; a reply frame with its two set-up
# bytes; a few hundred settings-store records; a hostile document (with its table
# part for the data tables); a site's configuration file.
declare -A max_len=(
    [fuzz_project_file]=14267
    [fuzz_reply]=1100
    [fuzz_settings_store]=4096
    [fuzz_csv_export]=3072
    [fuzz_data_table]=4096
    [fuzz_modbus_tcp]=1100 # a burst of several gateway frames
    [fuzz_http_request]=2048 # a request line and a few headers
    [fuzz_site_config]=4096 # a site of a few links and a dozen meters
)
targets=(fuzz_project_file fuzz_reply fuzz_settings_store fuzz_modbus_tcp fuzz_csv_export
         fuzz_data_table fuzz_http_request fuzz_site_config)
# Start-up, the seed corpus and the final report of one target, beyond its run.
per_target_overhead=4

CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DZENTRA_FUZZ=ON -DZENTRA_GUI=OFF -DZENTRA_BENCH=OFF -DZENTRA_SANITIZE=ON >/dev/null

if [ "${1:-}" = "--make-corpus" ]; then
    cmake --build "$build" --target zentra-fuzz-corpus -j"$(nproc)"
    # The gateway, HTTP and configuration-file seeds are written by hand
    # (fuzz/corpus/fuzz_modbus_tcp, fuzz_http_request, fuzz_site_config): kept.
    find fuzz/corpus -mindepth 1 -maxdepth 1 -type d ! -name fuzz_modbus_tcp \
        ! -name fuzz_http_request ! -name fuzz_site_config -exec rm -rf {} +
    "$build/fuzz/zentra-fuzz-corpus" fuzz/corpus
    echo "Seed corpora written to fuzz/corpus/"
    exit 0
fi

cmake --build "$build" --target "${targets[@]}" -j"$(nproc)"

if [ -n "${ZENTRA_FUZZ_SECONDS:-}" ]; then
    seconds="$ZENTRA_FUZZ_SECONDS"
else
    left=$((budget - (SECONDS - started) - per_target_overhead * ${#targets[@]}))
    seconds=$((left / ${#targets[@]}))
    [ "$seconds" -gt 60 ] && seconds=60
    [ "$seconds" -lt 5 ] && seconds=5
fi

# A 32 MB quarantine still holds thousands of inputs' freed blocks (a use after free is
# caught as before), but keeps the allocator on warm pages: the default 256 MB makes
# every small allocation of a run touch fresh memory, a third of the text targets' time.
export ASAN_OPTIONS="detect_leaks=0:abort_on_error=1:quarantine_size_mb=32"
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
    # The harnesses keep state between inputs on purpose (one document, one store),
    # so libFuzzer's leak check, which reruns every input whose allocations it
    # cannot match, is off.
    if ! "$build/fuzz/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -detect_leaks=0 -max_len="${max_len[$target]}" -print_final_stats=1 \
        -artifact_prefix="$crashes/" "${inputs[@]}" >"$log" 2>&1; then
        status=1
        echo "$target FAILED; the input is in $crashes/:"
        grep -E "ERROR|SUMMARY|zentra fuzz|runtime error" "$log" | head -20 || true
    fi
    runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo "?")
    summary+=("$target: $runs executions in ${seconds}s")
done
printf '%s\n' "${summary[@]}"
echo "Fuzz stage: $((SECONDS - started))s"
if [ "$status" -ne 0 ]; then
    echo "Fuzzing found a fault."
    exit 1
fi
echo "Fuzzing found nothing."
