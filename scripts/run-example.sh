#!/bin/sh
# Sets up, builds ZBIR and runs the month's work on the bundled example
# folder: the window where a display exists; otherwise the command line
# transports the newest group's JPK files into its workbook and builds the
# combined JPK_VAT file from it, then shows where the results are.
# Exits 0 only when both steps succeed.
set -eu
cd "$(dirname "$0")/.."
ZBIR_SETUP_NO_TEST_PACKAGES=1 ./scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build --target zbir -j "$(nproc)"

work=examples/jpk/praca
zbir=./build/zbir

case "${QT_QPA_PLATFORM:-}" in
  offscreen*|minimal*) windowless=1 ;;
  *) windowless=${ZBIR_NO_WINDOW:-} ;;
esac
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -z "$windowless" ]; then
  exec "$zbir" -C "$work"
fi

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
show "combined file:" "examples/jpk/$group.xml"
show "run log:      " "$work/ZBIR.LOG"

if [ "$status" -ne 0 ]; then
  echo "run-example: the month's work did not complete (zbir exit code $status); the messages above say why." >&2
  exit "$status"
fi
