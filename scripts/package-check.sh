#!/usr/bin/env bash
# Builds the .deb from a finished build and shows what a packager checks: its control
# data, its files, lintian's findings, and the installed tabrook-convert --help run from
# a copy of the package's tree.
# usage: scripts/package-check.sh [BUILD_DIR]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$root/build}"
(cd "$build" && cpack -G DEB >/dev/null)
deb="$(ls -t "$build"/tabrook_*.deb | head -n 1)"
echo "== $deb"
dpkg-deb --info "$deb"
echo "== contents"
dpkg-deb --contents "$deb"
echo "== lintian"
lintian --tag-display-limit 0 "$deb" || true
echo "== tabrook-convert --help, from the unpacked package"
tree="$(mktemp -d)"
trap 'rm -rf "$tree"' EXIT
dpkg-deb -x "$deb" "$tree"
"$tree/usr/bin/tabrook-convert" --help | head -n 3
