#!/bin/sh
# Command: bench/progress_log.sh [BUILD_DIR] [ROUNDS]
#   e.g.   bench/progress_log.sh build 5
#
# The cost of following progress. A converter writes 100 MB of statistics-like text to its log
# over a few seconds; palomix-batch runs it with --progress (the end of the log read at every
# tick, the progress printed) and without (no progress followed at all). Each is run ROUNDS
# times (default 5); the fastest rounds are compared. Printed: the ratio of the wall times,
# with progress to without. Target: at most 1.02.
set -eu

build=${1:-build}
rounds=${2:-5}
batch="$build/bin/palomix-batch"
[ -x "$batch" ] || { echo "no $batch; build the palomix-batch target first" >&2; exit 2; }

work=$(mktemp -d "${TMPDIR:-/tmp}/palomix-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/program/convert_settings" "$work/out"
cp "$batch" "$work/program/palomix-batch"
cat > "$work/program/convert_settings/log.ini" <<'INI'
[Item0]
Title=log
Command0=/bin/sh "<%InputFile%>"
INI
# 100 lines of 1 MiB each, each a statistics line, written to the log (standard error).
cat > "$work/writer.sh" <<'SH'
i=0
while [ "$i" -lt 100 ]; do
    printf 'size= %dkB time=00:00:%02d.00 bitrate=1 speed=1x ' "$i" "$((i % 60))" >&2
    head -c 1048576 /dev/zero | tr '\0' 'x' >&2
    printf '\r' >&2
    i=$((i + 1))
done
SH

now() { date +%s%N; }
with=0
without=0
r=0
while [ "$r" -lt "$rounds" ]; do
    for mode in with without; do
        start=$(now)
        if [ "$mode" = with ]; then
            "$work/program/palomix-batch" --progress --settings log.ini --output "$work/out" \
                "$work/writer.sh" >/dev/null 2>&1
        else
            "$work/program/palomix-batch" --settings log.ini --output "$work/out" \
                "$work/writer.sh" >/dev/null 2>&1
        fi
        took=$(($(now) - start))
        if [ "$mode" = with ]; then
            [ "$with" -eq 0 ] || [ "$took" -lt "$with" ] && with=$took
        else
            [ "$without" -eq 0 ] || [ "$took" -lt "$without" ] && without=$took
        fi
    done
    r=$((r + 1))
done
awk -v w="$with" -v n="$without" 'BEGIN {
    printf "with progress:    %.3f s\nwithout progress: %.3f s\n", w / 1e9, n / 1e9
    printf "ratio: %.3f (target <= 1.02)\n", w / n
}'
