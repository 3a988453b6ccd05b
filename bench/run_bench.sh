#!/bin/sh
# The command line's two jobs on generated JPK_VAT groups, against what a
# user would otherwise run:
#   bench/run_bench.sh [--keep] [RECORDS ...]      (default: 10000 100000 1000000)
# For each size, a group of four files (bench/make_jpk_vat_group.py) is read by
# `xmllint --stream --noout`, then `zbir transport` and `zbir jpk` run on it;
# each is timed by /usr/bin/time -v (wall seconds, peak resident memory).
# The floor of the transport is xmllint reading the files plus libxlsxwriter
# alone writing the cells the transport writes (bench/transport_bench).
# Builds a Release tree with -DZBIR_BUILD_BENCH=ON in $ZBIR_BENCH_BUILD_DIR
# (default build-bench) first.
set -eu
cd "$(dirname "$0")/.."
src=$PWD

keep=
if [ "${1:-}" = "--keep" ]; then keep=1; shift; fi
sizes=${*:-10000 100000 1000000}
files=4
group=JPK_VAT_2017_05

for tool in xmllint python3 /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "run_bench: $tool is missing (scripts/setup.sh installs it)" >&2; exit 1; }
done

build=${ZBIR_BENCH_BUILD_DIR:-build-bench}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DZBIR_BUILD_BENCH=ON -DZBIR_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target zbir transport_bench -j "$(nproc)" >/dev/null
zbir=$src/$build/zbir
floor_tool=$src/$build/bench/transport_bench

root=${TMPDIR:-/tmp}/zbir-bench-$$
mkdir -p "$root"
[ -n "$keep" ] || trap 'rm -rf "$root"' EXIT INT TERM

# timed NAME COMMAND...: runs COMMAND, output to $root/NAME.out; sets
# $secs (wall) and $peak (MiB) from /usr/bin/time -v.
timed() {
  name=$1; shift
  if ! /usr/bin/time -v -o "$root/$name.time" "$@" >"$root/$name.out" 2>&1; then
    echo "run_bench: $name failed:" >&2; tail -5 "$root/$name.out" >&2; exit 1
  fi
  secs=$(awk -F': ' '/Elapsed \(wall clock\)/ {
           n = split($2, p, ":"); s = 0; for (i = 1; i <= n; i++) s = s * 60 + p[i]; print s }' "$root/$name.time")
  peak=$(awk -F': ' '/Maximum resident set size/ { printf "%.1f", $2 / 1024 }' "$root/$name.time")
}

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "-" }'; }
rate() { awk -v n="$1" -v s="$2" 'BEGIN { if (s > 0) printf "%.0f", n / s; else print "-" }'; }

printf '%s\n' "machine: $(nproc) cores, $(uname -m); zbir $("$zbir" --version | cut -d' ' -f2), Release"
printf '%-9s %8s | %8s | %9s %9s %8s %6s %6s %6s | %8s %9s %8s %6s\n' \
  records "XML MiB" "xmllint" transport "rec/s" "peak MiB" "B/B" "/lint" "/floor" jpk "rec/s" "peak MiB" "/lint"
for n in $sizes; do
  dir=$root/$n
  mkdir -p "$dir/praca"
  cp examples/jpk/praca/Podmiot1.JPK "$dir/praca/"
  python3 bench/make_jpk_vat_group.py "$dir" "$group" "$files" $((n / files)) >/dev/null
  bytes=$(cat "$dir"/*.xml | wc -c)

  timed "lint-$n" xmllint --stream --noout "$dir"/*.xml
  lint=$secs lint_peak=$peak
  timed "transport-$n" "$zbir" -C "$dir/praca" transport
  tr=$secs tr_peak=$peak
  timed "jpk-$n" "$zbir" -C "$dir/praca" jpk
  jpk=$secs jpk_peak=$peak
  # The build alone, without opening the workbook: the summary line's time.
  jpk_build=$(sed -n 's/.*razem .* w \([0-9,:]*\).*/\1/p' "$root/jpk-$n.out" | tail -1)

  # The floor: the cells the transport writes, written by libxlsxwriter alone.
  timed "dump-$n" "$floor_tool" --dump "$dir/praca" "$group" "$dir/cells.dump"
  timed "xlsxwriter-$n" "$floor_tool" --xlsxwriter "$dir/cells.dump" "$dir/floor.xlsx"
  write=$(grep -E "^[0-9.]+$" "$root/xlsxwriter-$n.out" | tail -1)
  floor=$(awk -v a="$lint" -v b="$write" 'BEGIN { printf "%.2f", a + b }')
  rm -f "$dir/cells.dump" "$dir/floor.xlsx"

  per_byte=$(awk -v p="$tr_peak" -v b="$bytes" 'BEGIN { printf "%.2f", p * 1048576 / b }')
  printf '%-9s %8.1f | %8s | %9s %9s %8s %6s %6s %6s | %8s %9s %8s %6s\n' \
    "$n" "$(awk -v b="$bytes" 'BEGIN { print b / 1048576 }')" "$lint" \
    "$tr" "$(rate "$n" "$tr")" "$tr_peak" "$per_byte" "$(ratio "$tr" "$lint")" "$(ratio "$tr" "$floor")" \
    "$jpk" "$(rate "$n" "$jpk")" "$jpk_peak" "$(ratio "$jpk" "$lint")"
  printf '          floor %s s (xmllint %s s + libxlsxwriter %s s); jpk build alone %s s\n' \
    "$floor" "$lint" "$write" "${jpk_build:--}"
  eval "tr_$n=$tr trpeak_$n=$tr_peak jpk_$n=$jpk jpkpeak_$n=$jpk_peak"
  [ -n "$keep" ] || rm -rf "$dir"
done

# Growth from 100,000 to 1,000,000 records (linear: 10).
if [ -n "${tr_100000:-}" ] && [ -n "${tr_1000000:-}" ]; then
  printf 'growth 100k -> 1M: transport time x%s, peak x%s; jpk time x%s, peak x%s\n' \
    "$(ratio "$tr_1000000" "$tr_100000")" "$(ratio "$trpeak_1000000" "$trpeak_100000")" \
    "$(ratio "$jpk_1000000" "$jpk_100000")" "$(ratio "$jpkpeak_1000000" "$jpkpeak_100000")"
fi
[ -z "$keep" ] || echo "kept: $root"
