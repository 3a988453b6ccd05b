#!/bin/sh
# Renders the spreadsheet window into docs/sheet.png without a display: the
# main window transports the example group in a copy of the example folder,
# and the window shows the workbook's first sheet, -SUMA-.
set -eu
cd "$(dirname "$0")/.."
ZBIR_SETUP_NO_TEST_PACKAGES=1 ./scripts/setup.sh
BUILD_DIR=${ZBIR_BUILD_DIR:-build}
cmake -S . -B "$BUILD_DIR" >/dev/null
cmake --build "$BUILD_DIR" --target zbir_sheet_screenshot -j "$(nproc)"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cp -R examples/jpk/. "$tmp/"
mkdir -p docs
QT_QPA_PLATFORM=offscreen "$BUILD_DIR/zbir_sheet_screenshot" "$tmp/praca" "$PWD/docs/sheet.png" 1 A1
echo "docs/sheet.png"
