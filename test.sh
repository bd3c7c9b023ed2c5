#!/usr/bin/env bash
# Installs what is missing, builds, runs every test (the Windows build's under Wine too),
# then runs them all again in an AddressSanitizer + UndefinedBehaviorSanitizer build, then
# replays the kept fuzz inputs and runs every fuzz target for a short while in the clang
# fuzz build.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh

jobs=$(nproc)
run_suite() {
    local dir=$1; shift
    cmake -S . -B "$dir" -G Ninja -DTABROOK_BUILD_TESTS=ON -DTABROOK_WERROR=ON "$@" >/dev/null
    scripts/install-node-tools.sh "$dir"
    cmake --build "$dir" -j "$jobs"
    (cd "$dir" && ctest --output-on-failure --timeout 900 -j "$jobs")
}

echo "== tests (release build, with the Windows build's tests under Wine) =="
run_suite build -DTABROOK_WINE_TESTS=ON
echo "== tests (AddressSanitizer + UndefinedBehaviorSanitizer build) =="
ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}" \
UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}" \
LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0" \
    run_suite build-sanitize -DCMAKE_BUILD_TYPE=Debug -DTABROOK_SANITIZE=ON
echo "== fuzz targets (kept crash inputs, then a short run of each) =="
# clang and libFuzzer come with install-deps.sh; configuring fails when either is missing.
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DTABROOK_FUZZ=ON -DTABROOK_WERROR=ON >/dev/null
cmake --build build-fuzz -j "$jobs"
(cd build-fuzz && ctest --output-on-failure --timeout 900 -j "$jobs")
