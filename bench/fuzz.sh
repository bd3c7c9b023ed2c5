#!/usr/bin/env bash
# Builds the fuzz build (clang, libFuzzer, no Qt or LibreOffice needed) and runs each target
# for SECONDS (default 60), one at a time: bench/fuzz.sh [SECONDS]
# The .xls readers start from the corpus; the package and sheet fuzzers from generated
# seeds, plus the parts of a few corpus files LibreOffice converted when it is installed.
# One line per target: executions, crashes, leaks, timeouts, out-of-memory. Exit status is
# non-zero when any target found something; its inputs stay in build-fuzz/fuzz/bench/.
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
seconds=${1:-60}
build="$root/build-fuzz"
corpus="${TABROOK_CORPUS:-$root/../shared/corpus}"
runs="$build/fuzz/bench"

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DTABROOK_FUZZ=ON >/dev/null || exit 1
nice -n 5 cmake --build "$build" -j "$(nproc)" >/dev/null || exit 1

rm -rf "$runs"
mkdir -p "$runs/seeds"
for target in cellexact xlsb formula; do
    "$build/fuzz/tabrook_fuzz_seeds" "$target" "$runs/seeds/$target" || exit 1
done

# Real LibreOffice output as further seeds: its worksheet, style and string parts.
if command -v soffice >/dev/null 2>&1 && [ -d "$corpus" ]; then
    converted="$runs/converted"
    mkdir -p "$converted"
    mapfile -t picks < <(ls -S "$corpus"/*.xls | tail -40 | awk 'NR % 8 == 1')
    timeout 300 soffice "-env:UserInstallation=file://$converted/profile" --headless \
        --convert-to xlsx --outdir "$converted" "${picks[@]}" >/dev/null 2>&1
    # The part index is the xlsb fuzzer's first byte: the order of fuzz/base_package.cpp.
    python3 - "$converted" "$runs/seeds" <<'PY'
import pathlib, sys, zipfile
converted, seeds = pathlib.Path(sys.argv[1]), pathlib.Path(sys.argv[2])
index = {"xl/workbook.xml": 3, "xl/styles.xml": 4, "xl/sharedStrings.xml": 5}
for package in sorted(converted.glob("*.xlsx")):
    with zipfile.ZipFile(package) as zf:
        for name in zf.namelist():
            data = zf.read(name)
            stem = package.stem + "-" + name.replace("/", "_")
            if name.startswith("xl/worksheets/sheet"):
                (seeds / "cellexact" / stem).write_bytes(data)
                (seeds / "xlsb" / stem).write_bytes(bytes([6]) + data)
            elif name in index:
                (seeds / "xlsb" / stem).write_bytes(bytes([index[name]]) + data)
PY
fi

status=0
for target in biff vba cellexact xlsb formula; do
    case $target in
        biff | vba) seeds=("$corpus") ;;
        *) seeds=("$runs/seeds/$target") ;;
    esac
    "$root/fuzz/run_fuzzer.sh" run "$build/fuzz/fuzz_$target" "$seconds" "$runs/$target" \
        "${seeds[@]}" || status=1
done
exit $status
