#!/bin/sh
# Makes the desktop icons packaging/zbir-*.png from the program's picture
# src/shell/picture.jpg. Run again only when the picture changes.
set -eu
cd "$(dirname "$0")/.."
ZBIR_SETUP_NO_TEST_PACKAGES=1 ./scripts/setup.sh
BUILD_DIR=${ZBIR_BUILD_DIR:-build}
cmake -S . -B "$BUILD_DIR" >/dev/null
cmake --build "$BUILD_DIR" --target zbir_icon -j "$(nproc)"
"$BUILD_DIR/zbir_icon" packaging
ls packaging/zbir-*.png
