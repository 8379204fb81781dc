#!/usr/bin/env bash
# Everything the test command does: install, build, run the tests, then build and run
# them once more under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh build
(cd build && ctest --output-on-failure -j"$(nproc)")
scripts/build.sh build-asan -DZENTRA_SANITIZE=ON -DZENTRA_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug
(cd build-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --output-on-failure -j"$(nproc)")
if [ -x scripts/fuzz.sh ]; then scripts/fuzz.sh; fi
echo "All tests passed."
