#!/usr/bin/env bash
# Installs what is missing, builds Tabrook and opens it.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
# The program alone: the tests and their libraries are built by test.sh.
cmake -S . -B build -G Ninja -DTABROOK_BUILD_TESTS=OFF >/dev/null
cmake --build build -j "$(nproc)"
exec build/bin/Tabrook "$@"
