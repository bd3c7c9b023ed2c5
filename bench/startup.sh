#!/usr/bin/env bash
# Start-up with an EXCEL.txt of 1,000 entries (window loaded, before it is shown) and
# FillFileList over a folder of 10,000 files, best of five runs each.
# Last line: startup_1000_entries_s=X fill_10000_files_s=Y
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
cmake -S "$root" -B "$build" -G Ninja >/dev/null
cmake --build "$build" --target startup_bench >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/app" "$work/entries" "$work/large"
for i in $(seq 1 1000); do
    : >"$work/entries/Book$i.xls"
    printf '%s\r\n' "$work/entries/Book$i.xls" >>"$work/app/EXCEL.txt"
done
: >"$work/app/output.txt"
: >"$work/app/set.txt"
(cd "$work/large" && for i in $(seq 1 10000); do : >"Workbook$i.xls"; done)

best_startup=""
best_fill=""
for run in 1 2 3 4 5; do
    line=$("$build/bin/startup_bench" "$work/app" "$work/large" 2>/dev/null)
    echo "run $run: $line"
    s=$(sed -E 's/.*startup_s=([0-9.]+).*/\1/' <<<"$line")
    f=$(sed -E 's/.*fill_s=([0-9.]+).*/\1/' <<<"$line")
    if [ -z "$best_startup" ] || awk "BEGIN{exit !($s < $best_startup)}"; then best_startup=$s; fi
    if [ -z "$best_fill" ] || awk "BEGIN{exit !($f < $best_fill)}"; then best_fill=$f; fi
done
echo "startup_1000_entries_s=$best_startup fill_10000_files_s=$best_fill"
