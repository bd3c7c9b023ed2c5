#!/usr/bin/env bash
# The conversion engine against LibreOffice's own command line, in one run on one machine:
# 20 copies of a small workbook through tabrook-convert (one at a time), through one
# `soffice --convert-to xlsx` call for all of them, and through one call per file.
# Last line: ratio_vs_soffice_batch=R ratio_vs_soffice_per_file=P (ours / theirs).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
copies=20
work="$(mktemp -d "${TMPDIR:-/tmp}/tabrook-engine-XXXXXX")"
trap 'rm -rf "$work"' EXIT

now() { date +%s.%N; }
elapsed() { awk -v a="$1" -v b="$2" 'BEGIN { print b - a }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", a / b }'; }
soffice_in() { soffice "-env:UserInstallation=file://$work/$1" --headless "${@:2}" >/dev/null 2>&1; }

cat >"$work/book.fods" <<'FODS'
<?xml version="1.0" encoding="UTF-8"?>
<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0"
 xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0"
 xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0"
 xmlns:of="urn:oasis:names:tc:opendocument:xmlns:of:1.2" office:version="1.2"
 office:mimetype="application/vnd.oasis.opendocument.spreadsheet">
<office:body><office:spreadsheet><table:table table:name="Sheet1">
<table:table-row><table:table-cell office:value-type="string"><text:p>Item</text:p></table:table-cell>
<table:table-cell office:value-type="float" office:value="2.5"><text:p>2.5</text:p></table:table-cell>
<table:table-cell table:formula="of:=[.B1]*4" office:value-type="float" office:value="10"><text:p>10</text:p></table:table-cell></table:table-row>
</table:table></office:spreadsheet></office:body></office:document>
FODS
soffice_in make --convert-to xls --outdir "$work" "$work/book.fods"
mkdir -p "$work/src"
for i in $(seq 1 "$copies"); do cp "$work/book.xls" "$work/src/book$i.xls"; done
files=("$work"/src/*.xls)

# Building is not part of the timing. Every contender starts from a new private profile;
# the per-file runs share theirs after the first call.
build="${TABROOK_BUILD_DIR:-$root/build}"
ninja -C "$build" -j2 tabrook-convert >/dev/null
export XDG_CACHE_HOME="$work/cache"

start=$(now)
"$build/bin/tabrook-convert" --quiet --jobs 1 --format xlsx --out "$work/ours" "${files[@]}"
ours=$(elapsed "$start" "$(now)")

start=$(now)
soffice_in batch --convert-to xlsx --outdir "$work/batch" "${files[@]}"
batch=$(elapsed "$start" "$(now)")

start=$(now)
for f in "${files[@]}"; do soffice_in each --convert-to xlsx --outdir "$work/each" "$f"; done
each=$(elapsed "$start" "$(now)")

for dir in ours batch each; do
    count=$(find "$work/$dir" -name '*.xlsx' | wc -l)
    [ "$count" -eq "$copies" ] || { echo "$dir wrote $count of $copies files" >&2; exit 1; }
done
printf 'tabrook-convert: %.2f s  soffice batch: %.2f s  soffice per file: %.2f s\n' "$ours" "$batch" "$each"
echo "ratio_vs_soffice_batch=$(ratio "$ours" "$batch") ratio_vs_soffice_per_file=$(ratio "$ours" "$each")"
