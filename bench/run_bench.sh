#!/bin/sh
# The command line's two jobs on generated JPK_VAT groups, against what a
# user would otherwise run:
#   bench/run_bench.sh [--keep] [RECORDS ...]      (default: 10000 100000 1000000)
# For each size, a group of five files (bench/make_jpk_vat_group.py) is read by
# `xmllint --stream --noout`, then `zbir transport` and `zbir jpk` run on it,
# and, up to 100,000 records, a write-only script (bench/script_write_only.py);
# each is timed by /usr/bin/time -v (wall seconds, peak resident memory).
# Opening the transport's workbook alone is timed by bench/workbook_open_bench.
# The floor of the transport is xmllint reading the files plus libxlsxwriter
# alone writing the cells the transport writes (bench/transport_bench; the
# faster of its two ways, inline or shared strings). Ratios are given in
# processor seconds (user + system), which other work on the machine
# disturbs least, and in wall seconds.
# Builds a Release tree with -DZBIR_BUILD_BENCH=ON in $ZBIR_BENCH_BUILD_DIR
# (default build-bench) first.
set -eu
cd "$(dirname "$0")/.."
src=$PWD

keep=
if [ "${1:-}" = "--keep" ]; then keep=1; shift; fi
sizes=${*:-10000 100000 1000000}
files=5
group=JPK_VAT_2017_05

for tool in xmllint python3 /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "run_bench: $tool is missing (scripts/setup.sh installs it)" >&2; exit 1; }
done

# The Python of the comparison script: the system's, which setup.sh gives lxml and openpyxl.
script_python=
for py in /usr/bin/python3 python3; do
  if "$py" -c 'import lxml, openpyxl' 2>/dev/null; then script_python=$py; break; fi
done

root=${TMPDIR:-/tmp}/zbir-bench-$$
mkdir -p "$root"
[ -n "$keep" ] || trap 'rm -rf "$root"' EXIT
trap 'exit 130' INT TERM

build=${ZBIR_BENCH_BUILD_DIR:-build-bench}
if ! { cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DZBIR_BUILD_BENCH=ON -DZBIR_BUILD_TESTS=OFF &&
       cmake --build "$build" --target zbir transport_bench workbook_open_bench -j "$(nproc)"; } >"$root/build.log" 2>&1; then
  tail -20 "$root/build.log" >&2; exit 1
fi
zbir=$src/$build/zbir
floor_tool=$src/$build/bench/transport_bench
open_tool=$src/$build/bench/workbook_open_bench

# timed NAME COMMAND...: runs COMMAND, output to $root/NAME.out; sets
# $secs (wall), $cpu (user + system) and $peak (MiB) from /usr/bin/time -v.
timed() {
  name=$1; shift
  if ! /usr/bin/time -v -o "$root/$name.time" "$@" >"$root/$name.out" 2>&1; then
    echo "run_bench: $name failed:" >&2; tail -5 "$root/$name.out" >&2; exit 1
  fi
  secs=$(awk -F': ' '/Elapsed \(wall clock\)/ {
           n = split($2, p, ":"); s = 0; for (i = 1; i <= n; i++) s = s * 60 + p[i]; print s }' "$root/$name.time")
  cpu=$(awk -F': ' '/User time|System time/ { s += $2 } END { printf "%.2f", s }' "$root/$name.time")
  peak=$(awk -F': ' '/Maximum resident set size/ { printf "%.1f", $2 / 1024 }' "$root/$name.time")
}

# writer MODE...: the libxlsxwriter floor writing the recorded cells; sets
# $wwall and $wcpu from the tool's own timer (loading the cells left out).
writer() {
  timed "xlsxwriter-$n" "$floor_tool" --xlsxwriter "$dir/cells.dump" "$dir/floor.xlsx" "$@"
  set -- $(grep -E '^[0-9.]+ [0-9.]+$' "$root/xlsxwriter-$n.out" | tail -1)
  wwall=$1 wcpu=$2
}

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "-" }'; }
rate() { awk -v n="$1" -v s="$2" 'BEGIN { if (s > 0) printf "%.0f", n / s; else print "-" }'; }

printf '%s\n' "machine: $(nproc) cores, $(uname -m); zbir $("$zbir" --version | cut -d' ' -f2), Release; load $(cut -d' ' -f1-3 /proc/loadavg)"
printf '%-9s %7s | %11s | %11s %8s %8s %5s %11s %11s | %11s %8s %8s %10s\n' \
  records "XML MiB" "xmllint s" "transport s" "rec/s" "peak MiB" "B/B" "/lint" "/floor" "jpk s" "rec/s" "peak MiB" "/lint"
printf '%-9s %7s | %11s | %11s %8s %8s %5s %11s %11s | %11s %8s %8s %10s\n' \
  "" "" "cpu  wall" "cpu  wall" "(wall)" "" "" "cpu  wall" "cpu  wall" "cpu  wall" "(wall)" "" "cpu  wall"
for n in $sizes; do
  dir=$root/$n
  mkdir -p "$dir/praca"
  cp examples/jpk/praca/Podmiot1.JPK "$dir/praca/"
  python3 bench/make_jpk_vat_group.py "$dir" "$group" "$files" $((n / files)) >/dev/null
  bytes=$(cat "$dir"/*.xml | wc -c)

  timed "lint-$n" xmllint --stream --noout "$dir"/*.xml
  lint=$secs lint_cpu=$cpu
  timed "transport-$n" "$zbir" -C "$dir/praca" transport
  tr=$secs tr_cpu=$cpu tr_peak=$peak
  timed "jpk-$n" "$zbir" -C "$dir/praca" jpk
  jpk=$secs jpk_cpu=$cpu jpk_peak=$peak
  timed "open-$n" "$open_tool" "$dir/praca/$group.XLS"
  open_line=$(sed -n 's/^open: //p' "$root/open-$n.out")
  # The build alone, without opening the workbook: the summary line's time.
  jpk_build=$(sed -n 's/.*razem .* w \([0-9,:]*\).*/\1/p' "$root/jpk-$n.out" | tail -1)

  # The floor: the cells the transport writes, written by libxlsxwriter alone.
  timed "dump-$n" "$floor_tool" --dump "$dir/praca" "$group" "$dir/cells.dump"
  writer
  inline_wall=$wwall inline_cpu=$wcpu
  writer --shared-strings
  if awk -v a="$inline_cpu" -v b="$wcpu" 'BEGIN { exit !(a <= b) }'; then wwall=$inline_wall wcpu=$inline_cpu; fi
  floor=$(awk -v a="$lint" -v b="$wwall" 'BEGIN { printf "%.2f", a + b }')
  floor_cpu=$(awk -v a="$lint_cpu" -v b="$wcpu" 'BEGIN { printf "%.2f", a + b }')
  rm -f "$dir/cells.dump" "$dir/floor.xlsx"

  per_byte=$(awk -v p="$tr_peak" -v b="$bytes" 'BEGIN { printf "%.2f", p * 1048576 / b }')
  printf '%-9s %7.1f | %5s %5s | %5s %5s %8s %8s %5s %5s %5s %5s %5s | %5s %5s %8s %8s %4s %5s\n' \
    "$n" "$(awk -v b="$bytes" 'BEGIN { print b / 1048576 }')" "$lint_cpu" "$lint" \
    "$tr_cpu" "$tr" "$(rate "$n" "$tr")" "$tr_peak" "$per_byte" \
    "$(ratio "$tr_cpu" "$lint_cpu")" "$(ratio "$tr" "$lint")" "$(ratio "$tr_cpu" "$floor_cpu")" "$(ratio "$tr" "$floor")" \
    "$jpk_cpu" "$jpk" "$(rate "$n" "$jpk")" "$jpk_peak" "$(ratio "$jpk_cpu" "$lint_cpu")" "$(ratio "$jpk" "$lint")"
  printf '          floor %s cpu s, %s wall s (xmllint + libxlsxwriter %s cpu s, %s wall s); jpk build alone %s s\n' \
    "$floor_cpu" "$floor" "$wcpu" "$wwall" "${jpk_build:--}"
  printf '          open alone: %s\n' "$open_line"
  # A script a user could write instead, on the group's files (not the combined file
  # the jpk run left beside them); 100,000 records at most: it runs ten times longer.
  if [ -z "$script_python" ]; then
    printf '          write-only script: skipped (python3 with lxml and openpyxl is missing; scripts/setup.sh installs them)\n'
  elif [ "$n" -le 100000 ]; then
    timed "script-$n" "$script_python" bench/script_write_only.py "$dir/script.xlsx" "$dir/${group}"_*.xml
    rm -f "$dir/script.xlsx"
    printf '          write-only script (lxml + openpyxl): %s cpu s, %s wall s = transport x%s cpu, x%s wall\n' \
      "$cpu" "$secs" "$(ratio "$cpu" "$tr_cpu")" "$(ratio "$secs" "$tr")"
  fi
  eval "tr_$n=$tr trcpu_$n=$tr_cpu trpeak_$n=$tr_peak jpk_$n=$jpk jpkcpu_$n=$jpk_cpu jpkpeak_$n=$jpk_peak"
  [ -n "$keep" ] || rm -rf "$dir"
done

# Growth from 100,000 to 1,000,000 records (linear: 10; the aim: 10.5 at most).
if [ -n "${tr_100000:-}" ] && [ -n "${tr_1000000:-}" ]; then
  printf 'growth 100k -> 1M: transport cpu x%s, wall x%s, peak x%s; jpk cpu x%s, wall x%s, peak x%s\n' \
    "$(ratio "$trcpu_1000000" "$trcpu_100000")" "$(ratio "$tr_1000000" "$tr_100000")" \
    "$(ratio "$trpeak_1000000" "$trpeak_100000")" "$(ratio "$jpkcpu_1000000" "$jpkcpu_100000")" \
    "$(ratio "$jpk_1000000" "$jpk_100000")" "$(ratio "$jpkpeak_1000000" "$jpkpeak_100000")"
fi
[ -z "$keep" ] || echo "kept: $root"
