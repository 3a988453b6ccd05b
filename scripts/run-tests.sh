#!/bin/sh
# Sets up, builds with warnings as errors under AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs every test; then the example's month
# of work from the command line with that build (scripts/example-month.sh,
# in <build>/example), and each fuzz target briefly (ZBIR_FUZZ_SECONDS per
# target, default 20; 0 skips them).
set -eu
cd "$(dirname "$0")/.."
./scripts/setup.sh
BUILD_DIR=${ZBIR_TEST_BUILD_DIR:-build-test}
cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=Debug -DZBIR_WERROR=ON -DZBIR_SANITIZE=ON >/dev/null
cmake --build "$BUILD_DIR" -j "$(nproc)"
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}
export LSAN_OPTIONS=suppressions=$PWD/tests/support/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
(cd "$BUILD_DIR" && ctest --output-on-failure -j "$(nproc)" "$@")
case "$BUILD_DIR" in /*) zbir=$BUILD_DIR/zbir ;; *) zbir=./$BUILD_DIR/zbir ;; esac
rm -rf "$BUILD_DIR/example"
./scripts/example-month.sh "$zbir" "$BUILD_DIR/example"
ZBIR_FUZZ_SECONDS=${ZBIR_FUZZ_SECONDS:-20} ./scripts/run-fuzz.sh
