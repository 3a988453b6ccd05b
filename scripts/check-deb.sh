#!/bin/sh
# Installs a built package on a fresh, minimal Debian 12 (made once by
# debootstrap in ROOT) with apt, as a user would, then runs the example's
# month of work there and starts the window offscreen. Run as root:
#   scripts/check-deb.sh build-release/zbir_0.1.0_amd64.deb [ROOT]
set -eu
cd "$(dirname "$0")/.."
[ $# -ge 1 ] || { echo "usage: $0 PACKAGE.deb [ROOT]" >&2; exit 2; }
deb=$(readlink -f "$1")
root=${2:-${TMPDIR:-/tmp}/zbir-debian12}

command -v debootstrap >/dev/null || apt-get install -y -qq debootstrap
[ -x "$root/usr/bin/apt-get" ] || debootstrap --variant=minbase bookworm "$root"
cp /etc/resolv.conf "$root/etc/resolv.conf"
mount -t proc proc "$root/proc"
trap 'umount "$root/proc"' EXIT INT TERM

rm -rf "$root/tmp/zbir-check" && mkdir -p "$root/tmp/zbir-check"
cp "$deb" "$root/tmp/zbir-check/"
cp -r examples/jpk "$root/tmp/zbir-check/JPK"
in_root() { chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 "$@"; }

in_root apt-get update -qq
in_root apt-get install -y -qq "/tmp/zbir-check/$(basename "$deb")"
in_root zbir --version
in_root sh -c 'cd /tmp/zbir-check/JPK/praca && zbir transport && zbir jpk'
in_root ls -l /tmp/zbir-check/JPK/JPK_VAT_2017_05.xml /tmp/zbir-check/JPK/praca/JPK_VAT_2017_05.XLS
# The window: still open after five seconds means it started.
status=0
in_root sh -c 'cd /tmp/zbir-check/JPK/praca && QT_QPA_PLATFORM=offscreen timeout 5 zbir' || status=$?
[ "$status" -eq 124 ] || { echo "check-deb: the window ended with $status" >&2; exit 1; }
in_root ls /usr/share/man/man1/zbir.1.gz /usr/share/man/pl/man1/zbir.1.gz /usr/share/applications/zbir.desktop
echo "check-deb: $(basename "$deb") installs and runs on Debian 12"
