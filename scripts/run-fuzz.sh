#!/bin/sh
# Builds the libFuzzer targets with clang under AddressSanitizer and
# UndefinedBehaviorSanitizer and runs each for a bounded time on its seed
# corpus (fuzz/corpus/<target>) plus what earlier runs found. Fails when any
# target crashes, leaks, hangs, runs out of memory, reports a sanitizer error
# or finds a broken property; the input that did it is kept under
# <build>/fuzz-findings/<target>/.
#   ZBIR_FUZZ_SECONDS   seconds per target (default 60)
#   ZBIR_FUZZ_TIMEOUT   seconds one input may take before it counts as a hang (default 10)
#   ZBIR_FUZZ_TARGETS   targets to run (default: all)
#   ZBIR_FUZZ_BUILD_DIR build folder (default build-fuzz)
set -eu
cd "$(dirname "$0")/.."
./scripts/setup.sh
BUILD_DIR=${ZBIR_FUZZ_BUILD_DIR:-build-fuzz}
SECONDS_EACH=${ZBIR_FUZZ_SECONDS:-60}
TIMEOUT=${ZBIR_FUZZ_TIMEOUT:-10}
TARGETS=${ZBIR_FUZZ_TARGETS:-"codepage scanner transport subject workbook_open jpk_writer schema_check root_namespace v7_layout v7_writer"}
if [ "$SECONDS_EACH" -le 0 ]; then
  echo "fuzzing skipped (ZBIR_FUZZ_SECONDS=$SECONDS_EACH)"
  exit 0
fi

# zbir_core is built with whatever compiler the folder was configured with,
# so the fuzz build has a folder of its own, configured for clang.
CC=clang CXX=clang++ cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DZBIR_FUZZ=ON -DZBIR_WERROR=ON -DZBIR_BUILD_GUI=OFF -DZBIR_BUILD_TESTS=OFF >/dev/null
programs=""
for t in $TARGETS; do programs="$programs ${t}_fuzzer"; done
# shellcheck disable=SC2086
cmake --build "$BUILD_DIR" --target $programs -j "$(nproc)"

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:allocator_may_return_null=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export LSAN_OPTIONS=suppressions=$PWD/tests/support/lsan.supp:print_suppressions=0

failed=""
for t in $TARGETS; do
  corpus="$BUILD_DIR/fuzz-corpus/$t"
  findings="$BUILD_DIR/fuzz-findings/$t"
  log="$BUILD_DIR/fuzz-findings/$t.log"
  mkdir -p "$corpus" "$findings"
  printf '== fuzz %s for %s s ... ' "$t" "$SECONDS_EACH"
  dict=""
  [ -f "fuzz/dict/$t.dict" ] && dict="-dict=fuzz/dict/$t.dict"
  status=0
  # shellcheck disable=SC2086
  "$BUILD_DIR/fuzz/${t}_fuzzer" -max_total_time="$SECONDS_EACH" -timeout="$TIMEOUT" \
    -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$findings/" $dict \
    "$corpus" "fuzz/corpus/$t" >"$log" 2>&1 || status=$?
  if [ "$status" -ne 0 ] || grep -qE 'ERROR: (Address|Leak|UndefinedBehavior)Sanitizer|runtime error:|==zbir-fuzz==' "$log"; then
    echo "FAILED (exit $status)"
    grep -E 'ERROR:|runtime error:|==zbir-fuzz==|Test unit written|SUMMARY' "$log" | head -20 || true
    echo "   log: $log"
    failed="$failed $t"
  else
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    echo "ok (${runs:-?} inputs)"
  fi
done
if [ -n "$failed" ]; then
  echo "fuzzing failed:$failed" >&2
  exit 1
fi
