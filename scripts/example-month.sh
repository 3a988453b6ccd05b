#!/bin/sh
# The month's work on the bundled example without a window: copies the
# tracked example files into a scratch folder (examples/jpk stays as it is),
# transports the newest group's JPK files into its workbook with
# `zbir transport`, builds the combined JPK_VAT file with `zbir jpk`, and
# shows where the results are. Exits 0 only when both steps succeed.
#   example-month.sh ZBIR SCRATCH
# Results of earlier runs in SCRATCH stay; the program keeps an earlier
# workbook as a numbered previous version.
set -eu
cd "$(dirname "$0")/.."
zbir=$1
scratch=$2
mkdir -p "$scratch/praca"
# The inputs end in upper-case .XML; the combined files in lower-case .xml.
cp examples/jpk/*.XML "$scratch/"
cp examples/jpk/praca/Podmiot1.JPK "$scratch/praca/"
work=$scratch/praca

echo "== ZBIR on $work (no display: the command line does the work)"
groups=$("$zbir" -C "$work" groups)
echo "$groups"
group=$(echo "$groups" | sed -n 's/^\* //p')

status=0
echo "== zbir transport $group"
"$zbir" -C "$work" transport || status=$?
if [ "$status" -eq 0 ]; then
  echo "== zbir jpk $group"
  "$zbir" -C "$work" jpk || status=$?
fi

show() {
  if [ -e "$2" ]; then echo "  $1 $2"; else echo "  $1 $2 (not made)"; fi
}
echo "== Results"
show "workbook:     " "$work/$group.XLS"
show "TXT copies:   " "$work/TXT/"
show "combined file:" "$scratch/$group.xml"
show "run log:      " "$work/ZBIR.LOG"

if [ "$status" -ne 0 ]; then
  echo "example: the month's work did not complete (zbir exit code $status); the messages above say why." >&2
  exit "$status"
fi
