#!/bin/sh
# Installs every system package that building, running and testing ZBIR needs.
# Run as root on Debian 12; does nothing when everything is already there.
set -eu

# fonts-crosextra-carlito: the spreadsheet window's cell font, whose digits
# are as wide as column widths count them.
BUILD="g++ cmake make pkg-config \
  qt6-base-dev libgl-dev libjpeg-dev libgtest-dev \
  libxlsxwriter-dev liborcus-dev libixion-dev libboost-dev libcli11-dev libxml2-dev zlib1g-dev \
  fonts-crosextra-carlito"
TEST="libxml2-utils libreoffice-calc-nogui fonts-dejavu-core python3 python3-lxml python3-openpyxl \
  dpkg-dev desktop-file-utils groff-base time clang libclang-rt-14-dev"

missing=""
want="$BUILD"
[ -n "${ZBIR_SETUP_NO_TEST_PACKAGES:-}" ] || want="$want $TEST"
for p in $want; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing="$missing $p"
  fi
done
[ -z "$missing" ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "setup: these packages are missing:$missing" >&2
  echo "setup: run this script as root (or with sudo) to install them" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends $missing
