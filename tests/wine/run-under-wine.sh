#!/usr/bin/env bash
# Runs a cross-built GoogleTest program under Wine, as the Windows entries of the test suite do.
#
#   run-under-wine.sh --new-prefix      make a fresh Wine prefix at $WINEPREFIX
#   run-under-wine.sh PROGRAM.exe [GTEST ARGUMENTS...]
#
# The program runs in a Japanese UTF-8 locale (ja_JP.UTF-8 when the system has it), so that
# Wine's code page is 932 and Japanese names reach it intact; WINEDEBUG=-all keeps Wine's own
# messages out of the output. $PALOMIX_WINE names the wine to use (default: wine).
#
# Tests listed in known-failures.txt beside this script (a test name and its reason on each
# line) are run apart: their result is reported but decides nothing, so that the entry passes
# while a known fault is being mended. A listed test that passes is reported, to be taken off
# the list.
#
# Wine now and then fails a process start or a service process crashes under a test. A program
# that fails is therefore run once more, for the failed tests only (or whole, when it ended
# without naming any), and the output says so; a test that fails twice fails the entry.
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
wine=${PALOMIX_WINE:-wine}
export WINEDEBUG=-all
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml="}  # no Mono or Gecko prompts
if locale -a 2>/dev/null | grep -qix 'ja_JP.utf8'; then
    export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
else
    echo "note: the ja_JP.UTF-8 locale is missing (scripts/setup makes it); Japanese names" \
         "may not reach the programs intact" >&2
fi
: "${WINEPREFIX:?WINEPREFIX must name the Wine prefix to use}"
export WINEPREFIX

# The wineserver of the prefix, for waiting on it or ending it.
wineserver() {
    if command -v "${wine}server" >/dev/null 2>&1; then
        "${wine}server" "$@"
    else
        command wineserver "$@"
    fi
}

if [ "${1:-}" = "--new-prefix" ]; then
    wineserver -k 2>/dev/null || true  # a server left from a run just before
    rm -rf "$WINEPREFIX"
    mkdir -p "$(dirname "$WINEPREFIX")"
    "$wine" wineboot --init >/dev/null 2>&1
    status=$?
    wineserver -w 2>/dev/null || true
    if [ $status -ne 0 ] || [ ! -d "$WINEPREFIX/drive_c" ]; then
        echo "wineboot failed ($status): no Wine prefix at $WINEPREFIX" >&2
        exit 1
    fi
    echo "fresh Wine prefix at $WINEPREFIX"
    exit 0
fi

program=${1:?usage: run-under-wine.sh PROGRAM.exe [GTEST ARGUMENTS...] | --new-prefix}
shift
if [ ! -f "$program" ]; then
    echo "$program does not exist (build the Windows tree first)" >&2
    exit 1
fi
log_dir=$(mktemp -d)
trap 'rm -rf "$log_dir"' EXIT

# The known failures of this program: the names it holds among those listed.
known=()
if [ -f "$here/known-failures.txt" ]; then
    listed=$("$wine" "$program" --gtest_list_tests 2>/dev/null | tr -d '\r' | awk '
        /^[^ ]/ { suite = $1; next }
        /^  [^ ]/ { print suite $1 }')
    while read -r name _; do
        case "$name" in ''|'#'*) continue ;; esac
        if grep -qxF "$name" <<<"$listed"; then
            known+=("$name")
        fi
    done <"$here/known-failures.txt"
fi
join() { local IFS=:; echo "$*"; }

# Runs the program with a filter; leaves the names of the failed tests in $log_dir/failed.
run() {
    local filter=$1 log=$2
    shift 2
    "$wine" "$program" --gtest_filter="$filter" "$@" 2>&1 | tr -d '\r' | tee "$log"
    local status=${PIPESTATUS[0]}
    sed -n 's/^\[  FAILED  \] \([A-Za-z0-9_/.]*\) (.*/\1/p' "$log" | sort -u >"$log_dir/failed"
    return "$status"
}

filter='*'
if ((${#known[@]})); then
    filter="-$(join "${known[@]}")"
fi
run "$filter" "$log_dir/first" "$@"
status=$?
if [ $status -ne 0 ]; then
    if [ -s "$log_dir/failed" ]; then
        mapfile -t failed <"$log_dir/failed"
        echo "=== run-under-wine: ${#failed[@]} test(s) failed; running them once more, as Wine" \
             "fails a process start now and then: ${failed[*]}"
        run "$(join "${failed[@]}")" "$log_dir/second" "$@"
    else
        echo "=== run-under-wine: the program ended with $status without naming a failed" \
             "test; running it once more, as Wine fails a process start now and then"
        run "$filter" "$log_dir/second" "$@"
    fi
    status=$?
    if [ $status -eq 0 ]; then
        echo "=== run-under-wine: passed on the second run (first run failed, see above)"
    else
        echo "=== run-under-wine: FAILED twice: $(tr '\n' ' ' <"$log_dir/failed")"
    fi
fi

if ((${#known[@]})); then
    echo "=== run-under-wine: known failures (known-failures.txt), reported only:"
    "$wine" "$program" --gtest_filter="$(join "${known[@]}")" "$@" 2>&1 | tr -d '\r' \
        >"$log_dir/known"
    sed -n 's/^\[  FAILED  \] \([A-Za-z0-9_/.]*\) (.*/\1/p' "$log_dir/known" | sort -u \
        >"$log_dir/known-failed"
    for name in "${known[@]}"; do
        if grep -qxF "$name" "$log_dir/known-failed"; then
            echo "    still fails: $name"
        else
            echo "    PASSES NOW, take it off known-failures.txt: $name"
        fi
    done
fi
exit $status
