#!/usr/bin/env bash
# tabrook-convert over the corpus, in one run on one machine: --jobs 1 and --jobs 2 against
# one `soffice --convert-to xlsx` call for all the workbooks. Each contender runs once with
# a warm profile (ours: the cached profile; soffice: its profile after one earlier call),
# as a user's second run would. Wall time, time to the first converted file and the peak
# of the summed memory of the whole process tree (bench/run_measured.py).
# usage: bench/cli.sh [BUILD_DIR] [CORPUS_DIR]
# Last line: jobs2_vs_jobs1=R jobs2_vs_soffice=S first_file_cached_s=F peak_mib_jobs2=M
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$root/build}"
corpus="${2:-$root/../shared/corpus}"
program="$build/bin/tabrook-convert"
work="$(mktemp -d "${TMPDIR:-/tmp}/tabrook-clibench-XXXXXX")"
trap 'rm -rf "$work"' EXIT
export XDG_CACHE_HOME="$work/cache"
measure() { /usr/bin/python3 "$root/bench/run_measured.py" "$@"; }
field() { sed -n "s/.*$1=\([^ ]*\).*/\1/p" <<<"$2"; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

files=("$corpus"/*.xls)
echo "workbooks: ${#files[@]} from $corpus; cores: $(nproc); load: $(cut -d' ' -f1-3 /proc/loadavg)"

# Warm-up: prepares our profile cache, and soffice's own profile.
"$program" --quiet -o "$work/warm" "${files[0]}" || true
soffice "-env:UserInstallation=file://$work/soffice-profile" --headless --convert-to xlsx \
    --outdir "$work/warm-soffice" "${files[0]}" >/dev/null 2>&1 || true

jobs1="$(measure converted: -- "$program" --jobs 1 -o "$work/jobs1" "${files[@]}")"
echo "tabrook-convert --jobs 1: $jobs1 converted=$(ls "$work/jobs1" | wc -l)"
jobs2="$(measure converted: -- "$program" --jobs 2 -o "$work/jobs2" "${files[@]}")"
echo "tabrook-convert --jobs 2: $jobs2 converted=$(ls "$work/jobs2" | wc -l)"
# soffice prints "convert A -> B using filter : ..." per file.
office="$(measure convert -- soffice "-env:UserInstallation=file://$work/soffice-profile" \
    --headless --convert-to xlsx --outdir "$work/soffice" "${files[@]}")"
echo "soffice --convert-to (one call): $office converted=$(ls "$work/soffice" 2>/dev/null | wc -l)"
left="$(pgrep -f "$work" || true)"
echo "processes left: ${left:-none}"

# Time to the first converted file, one small workbook, three times each way, alternating:
# from a fresh profile (an empty cache) and from the cached one.
small="$corpus/Simple.xls"
cold=() warm=()
for round in 1 2 3; do
    rm -rf "$work/cold-cache" "$work/first"
    mkdir -p "$work/first"
    c="$(XDG_CACHE_HOME="$work/cold-cache" measure converted: -- "$program" -o "$work/first/c$round" "$small")"
    w="$(measure converted: -- "$program" -o "$work/first/w$round" "$small")"
    cold+=("$(field first "$c")") warm+=("$(field first "$w")")
done
echo "first file, fresh profile: ${cold[*]} s; cached profile: ${warm[*]} s"
best_warm="$(printf '%s\n' "${warm[@]}" | sort -n | head -n 1)"

echo "jobs2_vs_jobs1=$(ratio "$(field wall "$jobs2")" "$(field wall "$jobs1")")" \
     "jobs2_vs_soffice=$(ratio "$(field wall "$jobs2")" "$(field wall "$office")")" \
     "first_file_cached_s=$best_warm" "peak_mib_jobs2=$(field peak_mib "$jobs2")"
