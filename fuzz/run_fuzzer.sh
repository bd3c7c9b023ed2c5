#!/usr/bin/env bash
# Runs one libFuzzer target.
#   run_fuzzer.sh replay <binary> <folder>                 every kept input in <folder> once
#   run_fuzzer.sh run <binary> <seconds> <work> <seeds>... fuzz for <seconds>, then report
# A run prints one line: executions, crashes, leaks, timeouts, out-of-memory. Findings are
# kept in <work>/artifacts. A seed folder that is missing fails under CI=true. A target
# that leaves anything in its temporary folder fails.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
export LSAN_OPTIONS="suppressions=$here/../scripts/lsan.supp:print_suppressions=0"
# Whole stacks for leaks, so that a suppression names the library function that leaked and
# never a bare allocator frame of glib that our own code reaches too.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}fast_unwind_on_malloc=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
limits=(-rss_limit_mb=2048 -timeout=10)

mode=${1:?mode}; binary=${2:?binary}
name=$(basename "$binary"); name=${name#fuzz_}

if [ "$mode" = replay ]; then
    folder=${3:?folder}
    cases=()
    [ -d "$folder" ] && mapfile -t cases < <(find "$folder" -type f ! -name '*.md' | sort)
    if ((${#cases[@]} == 0)); then
        echo "$name: no kept inputs in $folder"
        exit 0
    fi
    "$binary" "${limits[@]}" "${cases[@]}"
    rc=$?
    echo "$name: ${#cases[@]} kept inputs replayed, exit $rc"
    exit $rc
fi

seconds=${3:?seconds}; work=${4:?work}; shift 4
seeds=()
for folder in "$@"; do
    if [ -d "$folder" ]; then
        seeds+=("$folder")
    elif [ "${CI:-}" = true ]; then
        echo "$name: seed folder $folder is missing" >&2
        exit 1
    else
        echo "$name: seed folder $folder is missing; starting without it" >&2
    fi
done
rm -rf "$work"
mkdir -p "$work/corpus" "$work/artifacts" "$work/tmp"
# TABROOK_FUZZ_SEED fixes the mutations (the tests); 0, the default, draws a fresh seed.
TMPDIR="$work/tmp" nice -n 10 "$binary" "${limits[@]}" -seed="${TABROOK_FUZZ_SEED:-0}" \
    -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix="$work/artifacts/" "$work/corpus" "${seeds[@]}" >"$work/log" 2>&1
rc=$?
count() { find "$work/artifacts" -name "$1-*" | wc -l; }
execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/log" | tail -1)
printf '%s: %s executions, %s crashes, %s leaks, %s timeouts, %s out-of-memory\n' \
    "$name" "${execs:-?}" "$(count crash)" "$(count leak)" "$(count timeout)" "$(count oom)"
if [ $rc -eq 0 ] && [ -n "$(ls -A "$work/tmp")" ]; then
    echo "$name: temporary files left behind in $work/tmp" >&2
    rc=1
fi
if [ $rc -ne 0 ]; then
    grep -E '^(==[0-9]+==ERROR|SUMMARY|.*runtime error)' "$work/log" | head -5
    echo "$name: exit $rc; log in $work/log, inputs in $work/artifacts" >&2
fi
exit $rc
