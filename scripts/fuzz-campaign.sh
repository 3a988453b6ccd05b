#!/bin/sh
# A fuzzing campaign: every libFuzzer target for a given time, on its seed
# corpus plus what earlier runs kept, with its dictionary; then the figures
# (true duration, inputs run, inputs per second, coverage, corpus, findings)
# written into docs/RELIABILITY.md between the campaign markers, and a
# summary printed. Findings are kept under <build>/fuzz-findings/<target>/;
# each must become a regression test.
#   ZBIR_CAMPAIGN_SECONDS   seconds per target (default 600)
#   ZBIR_CAMPAIGN_PARALLEL  targets run at once (default 1)
#   ZBIR_FUZZ_TARGETS       targets (default: all)
#   ZBIR_FUZZ_BUILD_DIR     build folder (default build-fuzz)
#   ZBIR_FUZZ_TIMEOUT       seconds one input may take (default 10)
set -eu
cd "$(dirname "$0")/.."
BUILD_DIR=${ZBIR_FUZZ_BUILD_DIR:-build-fuzz}
SECONDS_EACH=${ZBIR_CAMPAIGN_SECONDS:-600}
PARALLEL=${ZBIR_CAMPAIGN_PARALLEL:-1}
TIMEOUT=${ZBIR_FUZZ_TIMEOUT:-10}
TARGETS=${ZBIR_FUZZ_TARGETS:-"codepage scanner transport subject workbook_open jpk_writer schema_check root_namespace v7_layout v7_writer"}
DOC=docs/RELIABILITY.md

CC=clang CXX=clang++ cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DZBIR_FUZZ=ON -DZBIR_BUILD_GUI=OFF -DZBIR_BUILD_TESTS=OFF >/dev/null
programs=""
for t in $TARGETS; do programs="$programs ${t}_fuzzer"; done
# shellcheck disable=SC2086
cmake --build "$BUILD_DIR" --target $programs -j 2 >/dev/null

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:allocator_may_return_null=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export LSAN_OPTIONS=suppressions=$PWD/tests/support/lsan.supp:print_suppressions=0

results="$BUILD_DIR/campaign"
rm -rf "$results"
mkdir -p "$results"

# One target: its log and a line of figures in $results/<target>.row.
run_target() {
  t=$1
  corpus="$BUILD_DIR/fuzz-corpus/$t"
  findings="$BUILD_DIR/fuzz-findings/$t"
  log="$results/$t.log"
  mkdir -p "$corpus" "$findings"
  dict=""
  [ -f "fuzz/dict/$t.dict" ] && dict="-dict=fuzz/dict/$t.dict"
  # Slow units are kept there too; they are no findings.
  before=$(find "$findings" -type f ! -name 'slow-unit-*' | wc -l)
  start=$(date +%s)
  status=0
  # shellcheck disable=SC2086
  "$BUILD_DIR/fuzz/${t}_fuzzer" -max_total_time="$SECONDS_EACH" -timeout="$TIMEOUT" \
    -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$findings/" $dict \
    "$corpus" "fuzz/corpus/$t" >"$log" 2>&1 || status=$?
  end=$(date +%s)
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  cov=$(grep -oE 'cov: [0-9]+ ft: [0-9]+' "$log" | tail -1 | awk '{print $2 " / " $4}')
  units=$(find "$corpus" -type f | wc -l)
  after=$(find "$findings" -type f ! -name 'slow-unit-*' | wc -l)
  found=$((after - before))
  secs=$((end - start))
  rate=$(awk -v r="${runs:-0}" -v s="$secs" 'BEGIN { printf "%d", (s > 0 ? r / s : 0) }')
  verdict="none"
  if [ "$status" -ne 0 ] || [ "$found" -gt 0 ]; then
    verdict="$found ($(grep -m1 -oE 'ERROR: [A-Za-z]+|==zbir-fuzz== property violated: .*|runtime error: .*' "$log" | cut -c1-80))"
  fi
  printf '| `%s` | %s s | %s | %s | %s | %s | %s |\n' "$t" "$secs" "${runs:-0}" "$rate" "${cov:-?}" "$units" "$verdict" \
    >"$results/$t.row"
  echo "== $t: $secs s, ${runs:-0} inputs ($rate/s), cov/ft ${cov:-?}, corpus $units, findings: $verdict"
}

started=$(date -u '+%Y-%m-%d %H:%M UTC')
load=$(cut -d' ' -f1-3 /proc/loadavg)
running=0
for t in $TARGETS; do
  run_target "$t" &
  running=$((running + 1))
  if [ "$running" -ge "$PARALLEL" ]; then
    wait
    running=0
  fi
done
wait
ended=$(date -u '+%H:%M UTC')

table="$results/table.md"
{
  echo "Campaign of $started to $ended: $SECONDS_EACH s asked per target, $PARALLEL at a time, on $(nproc) shared cores (load average at the start: $load)."
  echo
  echo '| Target | Duration | Inputs run | Inputs/s | Coverage (edges / features) | Corpus | Findings |'
  echo '|---|---|---|---|---|---|---|'
  for t in $TARGETS; do cat "$results/$t.row"; done
} >"$table"
cat "$table"

# Into the document, between the markers (kept when absent).
if grep -q '<!-- campaign:start -->' "$DOC"; then
  awk -v table="$table" '
    /<!-- campaign:start -->/ { print; while ((getline line < table) > 0) print line; skip = 1; next }
    /<!-- campaign:end -->/ { skip = 0 }
    !skip { print }' "$DOC" >"$DOC.new" && mv "$DOC.new" "$DOC"
fi
if grep '^| `' "$table" | grep -qv '| none |$'; then
  echo "findings: see $BUILD_DIR/fuzz-findings/" >&2
  exit 1
fi
