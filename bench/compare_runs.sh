#!/bin/sh
# Two builds of zbir on the same group, run in turn (A B A B ...), so that
# load from other work on the machine falls on both alike:
#   bench/compare_runs.sh ZBIR_A ZBIR_B GROUP_DIR [PAIRS] [transport|jpk]
# GROUP_DIR holds the group's XML files and praca/ with Podmiot1.JPK
# (bench/make_jpk_vat_group.py writes one). For `transport` the workbook
# and copies are removed before every run; `jpk` needs the workbook there.
# Prints each run (wall s, CPU s = user + system, peak MiB), the ratio B/A
# of every pair, and the medians.
set -eu
[ $# -ge 3 ] || { echo "usage: $0 ZBIR_A ZBIR_B GROUP_DIR [PAIRS] [transport|jpk]" >&2; exit 2; }
a=$1 b=$2 dir=$3 pairs=${4:-3} job=${5:-transport}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

run() {  # run BINARY TAG: appends "wall cpu peak" to $out/TAG
  if [ "$job" = transport ]; then rm -rf "$dir"/praca/*.XLS* "$dir"/praca/TXT "$dir"/praca/ZBIR.LOG; fi
  /usr/bin/time -f '%e %U %S %M' -o "$out/t" "$1" -C "$dir/praca" "$job" >/dev/null 2>&1 ||
    { echo "compare_runs: $1 $job failed" >&2; exit 1; }
  awk '{ printf "%.2f %.2f %.1f\n", $1, $2 + $3, $4 / 1024 }' "$out/t" >>"$out/$2"
  tail -1 "$out/$2"
}

echo "load $(cut -d' ' -f1-3 /proc/loadavg); $job, $pairs pairs; A=$a B=$b"
printf '%-5s %18s %18s   %s\n' pair "A wall cpu MiB" "B wall cpu MiB" "B/A wall cpu peak"
i=1
while [ "$i" -le "$pairs" ]; do
  ra=$(run "$a" A)
  rb=$(run "$b" B)
  printf '%-5s %18s %18s   %s\n' "$i" "$ra" "$rb" \
    "$(echo "$ra $rb" | awk '{ printf "%.2f %.2f %.2f", $4 / $1, $5 / $2, $6 / $3 }')"
  i=$((i + 1))
done
median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2) }'; }
for t in A B; do
  printf 'median %s: wall %s s, cpu %s s, peak %s MiB\n' "$t" \
    "$(cut -d' ' -f1 "$out/$t" | median)" "$(cut -d' ' -f2 "$out/$t" | median)" "$(cut -d' ' -f3 "$out/$t" | median)"
done
