#!/usr/bin/env bash
# Installs the test-only Node.js tools (SheetJS, an independent .xlsb reader) into
# <build>/node-tools when they are missing. Tests that need them skip without them.
set -euo pipefail
build_dir=${1:-build}
prefix="$build_dir/node-tools"
if [[ -f "$prefix/node_modules/@e965/xlsx/package.json" ]]; then
    exit 0
fi
if ! command -v npm >/dev/null 2>&1; then
    echo "npm is not installed; SheetJS-based tests will be skipped" >&2
    exit 0
fi
mkdir -p "$prefix"
npm install --silent --no-audit --no-fund --prefix "$prefix" @e965/xlsx ||
    echo "SheetJS could not be installed; SheetJS-based tests will be skipped" >&2
