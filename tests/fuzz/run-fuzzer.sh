#!/usr/bin/env bash
# Runs one fuzz target for a while, as the test suite's fuzz_NAME entries do:
#
#   run-fuzzer.sh FUZZER CORPUS WORK SECONDS
#
# The target starts from the inputs of CORPUS (the repository's, only read) and of WORK/new (what
# earlier runs found); new inputs go to WORK/new, a crashing input to WORK/. A crash fails the
# run: keep the input as a regression input by copying it into CORPUS once the fault is mended.
set -euo pipefail
fuzzer=$1 corpus=$2 work=$3 seconds=$4
mkdir -p "$work/new"
dictionary=()
if [ -f "$corpus.dict" ]; then
    dictionary=(-dict="$corpus.dict")
fi
if "$fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$work/" "${dictionary[@]}" "$work/new" "$corpus" 2>&1 | tail -n 60; then
    exit 0
fi
echo "=== run-fuzzer: $(basename "$fuzzer") found a fault; the input is in $work:" >&2
ls -1 "$work" | grep -E '^(crash|leak|timeout|oom|slow-unit)-' >&2 || true
echo "=== keep it as a regression input: cp $work/<input> $corpus/" >&2
exit 1
