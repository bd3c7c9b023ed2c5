#!/usr/bin/env bash
# Binary workbook writer: peak memory and time of transcoding a generated sheet of
# 1,000,000 cells, against LibreOffice loading and saving the same workbook as .xlsx.
# Usage: bench/xlsb/bench.sh <build dir> [cells]
set -euo pipefail
build=${1:-build}
cells=${2:-1000000}
tool="$build/bin/tabrook_xlsb_tool"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$tool" generate "$cells" "$work/big.xlsx"
/usr/bin/time -v "$tool" transcode "$work/big.xlsx" "$work/big.xlsb" 2> "$work/time.txt" | head -1
rss=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$work/time.txt")
ours=$(awk -F': ' '/Elapsed \(wall clock\)/ {print $2}' "$work/time.txt")

start=$(date +%s.%N)
timeout 1200 soffice -env:UserInstallation="file://$work/profile" --headless --norestore \
    --convert-to xlsx --outdir "$work/office" "$work/big.xlsx" >/dev/null 2>&1 || true
office=$(echo "$(date +%s.%N) - $start" | bc)

echo "cells=$cells transcode_wall=$ours max_rss_kib=$rss"
echo "office_load_and_save_xlsx_seconds=$office"
echo "xlsb size: $(stat -c %s "$work/big.xlsb") bytes, xlsx size: $(stat -c %s "$work/big.xlsx") bytes"
