#!/usr/bin/env bash
# Binary workbook writer over the shared corpus: every .xls -> .xlsx (LibreOffice) ->
# .xlsb (ours) -> read back by SheetJS and by LibreOffice (-> .xlsx), compared cell by
# cell with the .xlsx. Prints the shares of equal values and formula texts, and every
# difference and every formula kept as a value.
# Usage: bench/xlsb/corpus.sh <build dir> [corpus dir]
# Needs scripts/install-node-tools.sh <build dir> to have been run.
set -euo pipefail
build=$(realpath "${1:-build}")
corpus=${2:-${TABROOK_CORPUS:-$(dirname "$0")/../../../shared/corpus}}
here=$(realpath "$(dirname "$0")")
tool="$build/bin/tabrook_xlsb_tool"
export NODE_PATH="$build/node-tools/node_modules"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
office() { timeout 900 soffice -env:UserInstallation="file://$work/profile" --headless --norestore "$@" >/dev/null 2>&1 || true; }

mkdir -p "$work/xlsx" "$work/xlsb" "$work/back"
start=$(date +%s.%N)
office --convert-to xlsx --outdir "$work/xlsx" "$corpus"/*.xls
office_seconds=$(echo "$(date +%s.%N) - $start" | bc)

transcoded=0 failed=0 ours=0
for f in "$work"/xlsx/*.xlsx; do
    b=$(basename "$f" .xlsx)
    if out=$("$tool" transcode "$f" "$work/xlsb/$b.xlsb" 2>&1); then
        transcoded=$((transcoded + 1))
        ours=$(echo "$ours + $(echo "$out" | awk 'NR==1 {print $8}')" | bc)
        echo "$out" | grep '^unencoded' | sed "s/^/$b\t/" || true
    else
        failed=$((failed + 1))
        echo "FAILED $b: $out"
    fi
done
office --convert-to xlsx --outdir "$work/back" "$work"/xlsb/*.xlsb

for reader in sheetjs office; do
    for f in "$work"/xlsx/*.xlsx; do
        b=$(basename "$f" .xlsx)
        [[ -f "$work/xlsb/$b.xlsb" ]] || continue
        other="$work/xlsb/$b.xlsb"
        [[ $reader == office ]] && other="$work/back/$b.xlsx"
        if [[ -f "$other" ]]; then
            node "$here/compare.js" "$f" "$other" | sed "s/^/$reader\t$b\t/"
        else
            echo -e "$reader\t$b\tmissing read-back"
        fi
    done
done > "$work/compare.txt"
grep -v $'\tsummary\t' "$work/compare.txt" || true
for reader in sheetjs office; do
    grep "^$reader"$'\t'".*"$'\tsummary\t' "$work/compare.txt" |
        awk -v r=$reader '{c+=$5; v+=$7; f+=$9; t+=$11}
            END {printf "%s: cells %d, values equal %d (%.2f%%); formulas %d, text equal %d (%.2f%%)\n",
                 r, c, v, 100*v/c, f, t, 100*t/f}'
done
echo "transcoded $transcoded, failed $failed"
echo "LibreOffice .xls -> .xlsx for the corpus: $office_seconds s; our .xlsx -> .xlsb: $ours s"
