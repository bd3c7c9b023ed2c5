#!/usr/bin/env bash
# Converts the corpus in all three formats with two builds of tabrook-convert (one office at
# a time), one format after the other and each build in turn, then counts the objects of
# sources and results per kind with bench/objects_count.py:
#   bench/objects/run.sh BEFORE_BUILD_DIR AFTER_BUILD_DIR [OUT_DIR]
# Prints the wall time and peak memory of each run, their ratio, and the counts.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
before="$1"
after="$2"
out="${3:-$(mktemp -d)}"
corpus="${TABROOK_CORPUS:-$root/../shared/corpus}"
python=/usr/bin/python3
mkdir -p "$out"
for format in xlsx xlsm xlsb; do
    for build in before after; do
        dir="$before"
        [ "$build" = after ] && dir="$after"
        rm -rf "${out:?}/$build-$format"
        /usr/bin/time -f "%e %M" -o "$out/$build-$format.time" \
            "$dir/bin/tabrook-convert" --jobs 1 --format "$format" --out "$out/$build-$format" "$corpus"/*.xls \
            >"$out/$build-$format.log" 2>/dev/null || true
        # The last line: /usr/bin/time puts a note of a non-zero exit status before it.
        read -r seconds kilobytes < <(tail -1 "$out/$build-$format.time")
        echo "$format $build: $(tail -1 "$out/$build-$format.log"); wall ${seconds} s, peak ${kilobytes} KB"
    done
    b=$(tail -1 "$out/before-$format.time" | cut -d' ' -f1)
    a=$(tail -1 "$out/after-$format.time" | cut -d' ' -f1)
    echo "$format time after/before: $(echo "scale=3; $a / $b" | bc)"
done
for format in xlsx xlsm xlsb; do
    for build in before after; do
        echo "== $format, $build"
        "$python" "$root/bench/objects_count.py" "$corpus" "$out/$build-$format" --ext "$format" |
            grep -v '^no result' || true
    done
done
