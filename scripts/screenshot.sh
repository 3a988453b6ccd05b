#!/bin/sh
# Renders the main window without a display, for the README's walk-through,
# on a copy of the bundled example folder:
#   docs/window.png            at start, in the example working folder
#   docs/window-transport.png  after "Transport XML do XLS"
#   docs/window-jpk.png        after that and "Zrób zbiorczy JPK"
set -eu
cd "$(dirname "$0")/.."
ZBIR_SETUP_NO_TEST_PACKAGES=1 ./scripts/setup.sh
BUILD_DIR=${ZBIR_BUILD_DIR:-build}
cmake -S . -B "$BUILD_DIR" >/dev/null
cmake --build "$BUILD_DIR" --target zbir_screenshot -j "$(nproc)"
mkdir -p docs
tool=$PWD/$BUILD_DIR/zbir_screenshot
root=${TMPDIR:-/tmp}/zbir-screens
trap 'rm -rf "$root"' EXIT INT TERM

shot() {
  out=$1; shift
  rm -rf "$root" && mkdir -p "$root" && cp -r examples/jpk "$root/JPK"
  QT_QPA_PLATFORM=offscreen "$tool" "$root/JPK/praca" "$PWD/docs/$out" "$@"
  echo "docs/$out"
}
shot window.png
shot window-transport.png XMLXLS
shot window-jpk.png XMLXLS XLSJPK
