#!/usr/bin/env bash
# tabrook-convert over the corpus, in one run on one machine: --jobs 1 and --jobs 2 against
# one `soffice --convert-to xlsx` call for all the workbooks. Each contender runs with a
# warm profile (ours: the cached profile; soffice: its profile after one earlier call), as a
# user's second run would. Wall time, time to the first converted file and the peak of the
# summed memory of the whole process tree (bench/run_measured.py).
# A shared virtual machine's speed drifts by a fifth within minutes, so the three contenders
# run in ROUNDS rounds (default 3), each round in a different order, and the ratios are
# those of the median wall times; each round's own ratios are shown as well.
# usage: [ROUNDS=N] bench/cli.sh [BUILD_DIR] [CORPUS_DIR]
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

run_jobs() {
    rm -rf "$work/jobs$1"
    measure converted: -- "$program" --jobs "$1" -o "$work/jobs$1" "${files[@]}"
}
run_soffice() {
    rm -rf "$work/soffice"
    measure convert -- soffice "-env:UserInstallation=file://$work/soffice-profile" \
        --headless --convert-to xlsx --outdir "$work/soffice" "${files[@]}"
}
median() { printf '%s\n' "$@" | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

rounds="${ROUNDS:-3}"
contenders=(jobs1 jobs2 soffice)
walls_jobs1=() walls_jobs2=() walls_soffice=() peaks_jobs2=()
for ((round = 0; round < rounds; round++)); do
    declare -A wall=()
    for ((i = 0; i < 3; i++)); do
        contender="${contenders[(round + i) % 3]}"
        case "$contender" in
        jobs1) result="$(run_jobs 1)" made="$(ls "$work/jobs1" | wc -l)" ;;
        jobs2) result="$(run_jobs 2)" made="$(ls "$work/jobs2" | wc -l)"
               peaks_jobs2+=("$(field peak_mib "$result")") ;;
        # soffice prints "convert A -> B using filter : ..." per file.
        soffice) result="$(run_soffice)" made="$(ls "$work/soffice" 2>/dev/null | wc -l)" ;;
        esac
        echo "round $((round + 1)) $contender: $result converted=$made"
        wall[$contender]="$(field wall "$result")"
    done
    walls_jobs1+=("${wall[jobs1]}") walls_jobs2+=("${wall[jobs2]}") walls_soffice+=("${wall[soffice]}")
    echo "round $((round + 1)): jobs2_vs_jobs1=$(ratio "${wall[jobs2]}" "${wall[jobs1]}")" \
         "jobs2_vs_soffice=$(ratio "${wall[jobs2]}" "${wall[soffice]}")"
    unset wall
done
jobs1_wall="$(median "${walls_jobs1[@]}")"
jobs2_wall="$(median "${walls_jobs2[@]}")"
soffice_wall="$(median "${walls_soffice[@]}")"
peak_jobs2="$(printf '%s\n' "${peaks_jobs2[@]}" | sort -n | tail -n 1)"
echo "median wall: --jobs 1 ${jobs1_wall} s, --jobs 2 ${jobs2_wall} s, soffice ${soffice_wall} s"
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

echo "jobs2_vs_jobs1=$(ratio "$jobs2_wall" "$jobs1_wall")" \
     "jobs2_vs_soffice=$(ratio "$jobs2_wall" "$soffice_wall")" \
     "first_file_cached_s=$best_warm" "peak_mib_jobs2=$peak_jobs2"
