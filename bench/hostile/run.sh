#!/usr/bin/env bash
# The hostile batch: the crafted workbooks of make_hostile mixed with ten corpus files,
# through tabrook-convert (one workbook at a time) in all three formats. Prints each file's result, the peak memory of
# the largest process (the converter, a finishing process or the office), whether any
# package has a fault (bench/packages_check.py), and what was left behind.
# Usage: bench/hostile/run.sh [BUILD_DIR] [CORPUS_DIR]
set -uo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build}
corpus=${2:-../shared/corpus}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$build/bin/make_hostile" "$work/in"
sources=("$work"/in/*.xls)
for name in 12561-1 35564 42464-ExpPtg-ok 44840 50779_1 FormulaEvalTestData SimpleMacro \
    StringContinueRecords WithThreeCharts drawings; do
    sources+=("$corpus/$name.xls")
done
tmp=${TMPDIR:-/tmp}
left_before=$(find "$tmp" -maxdepth 1 -name 'tabrook-*' 2>/dev/null | wc -l)

for format in xlsx xlsm xlsb; do
    echo "== $format"
    /usr/bin/time -f "peak memory of the largest process: %M KiB" \
        "$build/bin/tabrook-convert" --jobs 1 --format "$format" --out "$work/$format" "${sources[@]}" 2>&1 |
        grep -v -e 'WARNING' -e '^$' | sed "s|$work/in/||"
    /usr/bin/python3 bench/packages_check.py "$work/$format" | tail -n 1
done

echo "== left behind"
echo "office or finishing processes: $(pgrep -c -f 'soffice.bin.*tabrook|tabrook-finish' || true)"
left_after=$(find "$tmp" -maxdepth 1 -name 'tabrook-*' 2>/dev/null | wc -l)
echo "temporary folders in $tmp: $((left_after - left_before)) more than before"
echo "hidden temporaries beside the results: $(find "$work" -name '.*.tabrook-*' | wc -l)"
