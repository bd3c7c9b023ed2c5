#!/usr/bin/env bash
# Installs the .deb on a clean Debian 12 made with debootstrap in a folder, the way a user
# would (apt-get install ./tabrook_*.deb, which brings its run-time dependencies), and runs
# tabrook-convert --help and one conversion from the installed path. Needs root and the
# Debian mirror. usage: scripts/deb-install-check.sh DEB [CHROOT_DIR]
set -euo pipefail
deb="$(realpath "$1")"
root="${2:-$(mktemp -d /var/tmp/tabrook-chroot-XXXXXX)}"
mirror="${DEBIAN_MIRROR:-http://deb.debian.org/debian}"
if [ ! -x "$root/usr/bin/apt-get" ]; then
    debootstrap --variant=minbase bookworm "$root" "$mirror" >/dev/null
fi
cp "$deb" "$root/tmp/"
for fs in proc sys dev; do mount --bind "/$fs" "$root/$fs"; done
trap 'for fs in proc sys dev; do umount "$root/$fs" || true; done' EXIT
chroot "$root" /bin/sh -c "apt-get update -qq && DEBIAN_FRONTEND=noninteractive \
    apt-get install -y -qq --no-install-recommends /tmp/$(basename "$deb") >/dev/null"
chroot "$root" /usr/bin/tabrook-convert --help | head -n 2
if [ -n "${SAMPLE_XLS:-}" ]; then
    cp "$SAMPLE_XLS" "$root/tmp/sample.xls"
    chroot "$root" /bin/sh -c "HOME=/root tabrook-convert -o /tmp/out /tmp/sample.xls && ls -l /tmp/out"
fi
