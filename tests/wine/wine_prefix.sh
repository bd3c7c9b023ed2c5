#!/usr/bin/env bash
# The Wine prefix the Windows tests share: made once, in the build tree, with the test COM
# server registered as "Excel.Application"; the cleanup ends every process in it and
# removes it.
#   wine_prefix.sh setup PREFIX SERVER_EXE
#   wine_prefix.sh run PREFIX TEST_EXE [ARGS...]
#   wine_prefix.sh cleanup PREFIX
#   wine_prefix.sh missing WHAT          (skips, or fails under CI=true)
set -euo pipefail
action=$1
shift

if [[ $action == missing ]]; then
    echo "The Windows tests need $1; scripts/install-deps.sh installs it." >&2
    [[ ${CI:-} == true ]] && exit 1
    exit 77
fi

prefix=$1
shift
# No Mono or Gecko installer dialogs and no debug noise.
export WINEPREFIX=$prefix WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wine64=${TABROOK_WINE64:-/usr/lib/wine/wine64}

case $action in
setup)
    if [[ -d $prefix ]]; then
        wineserver -k 2>/dev/null || true
        rm -rf "$prefix"
    fi
    mkdir -p "$prefix"
    # Every Wine process (the wineserver, the prefix's services) inherits the output of the
    # one that started it: a pipe to CTest would be held open until they all end. So they
    # write to a file, and the prefix's processes are ended before CTest reads it.
    output=$(mktemp)
    status=0
    { wineboot -i && "$wine64" "$1" /regserver; } >"$output" 2>&1 </dev/null || status=$?
    wineserver -k 2>/dev/null || true
    cat "$output"
    rm -f "$output"
    exit "$status"
    ;;
run)
    output=$(mktemp)
    status=0
    "$wine64" "$@" >"$output" 2>&1 </dev/null || status=$?
    # The program's own checks have seen every server process end; whatever Wine keeps
    # running for the prefix goes too, so the next program starts from nothing.
    wineserver -k 2>/dev/null || true
    cat "$output"
    rm -f "$output"
    exit "$status"
    ;;
cleanup)
    wineserver -k 2>/dev/null || true
    rm -rf "$prefix"
    ;;
*)
    echo "unknown action: $action" >&2
    exit 2
    ;;
esac
