#!/usr/bin/env bash
# tabrook-convert over an archive: COUNT copies of the corpus's workbooks (damaged ones
# among them) in nested folders, through --recursive --mirror --jobs 2 --report; then the
# same archive again as --shard 1/2 and --shard 2/2 into another folder. Checks (in
# bench/cli_archive_check.py): every workbook that converts anywhere converts in every
# copy, every failure is in the report with its message, no two results share a name, the
# shards give the same files and report lines, and no office or temporary is left.
# usage: bench/cli_archive.sh [BUILD_DIR] [COUNT] [CORPUS_DIR]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$root/build}"
count="${2:-2000}"
corpus="${3:-$root/../shared/corpus}"
program="$build/bin/tabrook-convert"
work="$(mktemp -d "${TMPDIR:-/tmp}/tabrook-archive-XXXXXX")"
trap 'rm -rf "$work"' EXIT
export XDG_CACHE_HOME="$work/cache" TMPDIR="$work/tmp"
mkdir -p "$TMPDIR"

# Copy i of the corpus goes to tree/gG/cI, so folders nest two deep with several per level.
files=("$corpus"/*.xls)
made=0
for ((i = 0; made < count; ++i)); do
    folder="$work/tree/g$((i / 4))/c$i"
    mkdir -p "$folder"
    for file in "${files[@]}"; do
        ((made < count)) || break
        cp "$file" "$folder/"
        made=$((made + 1))
    done
done
echo "archive: $made workbooks in $(find "$work/tree" -type d | wc -l) folders; load: $(cut -d' ' -f1-3 /proc/loadavg)"

run() { /usr/bin/python3 "$root/bench/run_measured.py" converted: -- "$program" "$@"; }
whole="$(run --recursive --mirror --jobs 2 --report "$work/whole.jsonl" -o "$work/whole" "$work/tree")"
echo "whole run: $whole"
for shard in 1/2 2/2; do
    part="$(run --recursive --mirror --jobs 2 --shard "$shard" --report "$work/shards.jsonl" \
        -o "$work/shards" "$work/tree")"
    echo "shard $shard: $part"
done
echo "offices or finishing steps left: $(( $(pgrep -c -f "soffice.bin.*$work" || true) + $(pgrep -c -x tabrook-finish || true) ))"
echo "temporary folders left: $(find "$TMPDIR" -mindepth 1 -maxdepth 1 | wc -l)"
/usr/bin/python3 "$root/bench/cli_archive_check.py" "$work" "$made"
