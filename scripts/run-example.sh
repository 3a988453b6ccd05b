#!/bin/sh
# Sets up, builds ZBIR and runs the month's work on the bundled example folder:
# the window where a display exists, the command line otherwise.
set -eu
cd "$(dirname "$0")/.."
ZBIR_SETUP_NO_TEST_PACKAGES=1 ./scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j "$(nproc)"
work=examples/jpk/praca
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -z "${ZBIR_NO_WINDOW:-}" ]; then
  exec ./build/zbir -C "$work"
fi
./build/zbir -C "$work" groups
./build/zbir -C "$work" files
