#!/bin/sh
# Renders the main window, started in the example working folder, into
# docs/window.png without a display.
set -eu
cd "$(dirname "$0")/.."
ZBIR_SETUP_NO_TEST_PACKAGES=1 ./scripts/setup.sh
BUILD_DIR=${ZBIR_BUILD_DIR:-build}
cmake -S . -B "$BUILD_DIR" >/dev/null
cmake --build "$BUILD_DIR" --target zbir_screenshot -j "$(nproc)"
mkdir -p docs
QT_QPA_PLATFORM=offscreen "$BUILD_DIR/zbir_screenshot" examples/jpk/praca "$PWD/docs/window.png"
echo "docs/window.png"
