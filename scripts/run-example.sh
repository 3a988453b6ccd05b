#!/bin/sh
# Sets up, builds ZBIR and runs the month's work on a scratch copy of the
# bundled example folder (build/example; examples/jpk stays untouched): the
# window where a display exists; otherwise the command line transports the
# newest group's JPK files into its workbook and builds the combined JPK_VAT
# file from it, then shows where the results are (scripts/example-month.sh).
# Exits 0 only when both steps succeed.
set -eu
cd "$(dirname "$0")/.."
ZBIR_SETUP_NO_TEST_PACKAGES=1 ./scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build --target zbir -j "$(nproc)"

scratch=build/example
zbir=./build/zbir

case "${QT_QPA_PLATFORM:-}" in
  offscreen*|minimal*) windowless=1 ;;
  *) windowless=${ZBIR_NO_WINDOW:-} ;;
esac
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -z "$windowless" ]; then
  mkdir -p "$scratch/praca"
  cp examples/jpk/*.XML "$scratch/"
  cp examples/jpk/praca/Podmiot1.JPK "$scratch/praca/"
  echo "== ZBIR on $scratch/praca; the workbook, TXT and ZBIR.LOG are made there, the combined file in $scratch"
  exec "$zbir" -C "$scratch/praca"
fi

exec ./scripts/example-month.sh "$zbir" "$scratch"
