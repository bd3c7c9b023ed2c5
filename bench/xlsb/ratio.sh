#!/usr/bin/env bash
# The cost of the binary workbook format through the whole server: the same workbooks
# through tabrook-convert (one workbook at a time) as .xlsx and as .xlsb, alternating, best of three runs each.
# Usage: bench/xlsb/ratio.sh [FILE...]   (default: the shared corpus beside the checkout)
# Last line: ratio_xlsb_vs_xlsx=R
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
files=("$@")
if ((${#files[@]} == 0)); then
    files=("$root"/../shared/corpus/*.xls)
fi
work="$(mktemp -d "${TMPDIR:-/tmp}/tabrook-xlsb-ratio-XXXXXX")"
trap 'rm -rf "$work"' EXIT

build="${TABROOK_BUILD_DIR:-$root/build}"
ninja -C "$build" -j2 tabrook-convert >/dev/null
convert="$build/bin/tabrook-convert"

seconds_for() {
    local format=$1 run=$2 start
    start=$(date +%s.%N)
    # Its exit status says whether some file failed; only the time matters here.
    "$convert" --quiet --jobs 1 --format "$format" --out "$work/$format-$run" "${files[@]}" \
        2>/dev/null || true
    awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN { printf "%.3f", b - a }'
}

best_xlsx=""
best_xlsb=""
for run in 1 2 3; do
    x=$(seconds_for xlsx "$run")
    b=$(seconds_for xlsb "$run")
    echo "run $run: xlsx ${x} s, xlsb ${b} s"
    if [ -z "$best_xlsx" ] || awk "BEGIN{exit !($x < $best_xlsx)}"; then best_xlsx=$x; fi
    if [ -z "$best_xlsb" ] || awk "BEGIN{exit !($b < $best_xlsb)}"; then best_xlsb=$b; fi
done
echo "files=${#files[@]} best xlsx ${best_xlsx} s, best xlsb ${best_xlsb} s"
echo "ratio_xlsb_vs_xlsx=$(awk -v b="$best_xlsb" -v x="$best_xlsx" 'BEGIN { printf "%.3f", b / x }')"
