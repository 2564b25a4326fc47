#!/bin/sh
# Command: bench/batch_true.sh [BUILD_DIR] [JOBS] [ROUNDS]
#   e.g.   bench/batch_true.sh build 2000 3
#
# Per-job overhead of palomix-batch: JOBS files (default 2000) converted by a command whose
# one template runs /bin/true with the file as its argument, through palomix-batch, against a
# shell loop that runs the same commands (for f in ...; do /bin/true "$f"; done, in sh). The
# two are timed one after the other, ROUNDS times (default 3). Printed: the ratio of the
# fastest rounds (the ones least disturbed by whatever else the machine runs) and the ratio
# of the totals. Target: at most 1.3.
set -eu

build=${1:-build}
jobs=${2:-2000}
rounds=${3:-3}
batch="$build/bin/palomix-batch"
[ -x "$batch" ] || { echo "no $batch; build the palomix-batch target first" >&2; exit 2; }

work=$(mktemp -d "${TMPDIR:-/tmp}/palomix-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/program/convert_settings" "$work/media" "$work/out"
cp "$batch" "$work/program/palomix-batch"
cat > "$work/program/convert_settings/true.ini" <<'INI'
[Item0]
Title=true
TitleE=true
Command0=/bin/true "<%InputFile%>"
INI
i=0
while [ "$i" -lt "$jobs" ]; do
    : > "$work/media/clip $i.mp4"
    i=$((i + 1))
done

now() { date +%s%N; }
batch_total=0
shell_total=0
batch_best=0
shell_best=0
r=0
while [ "$r" -lt "$rounds" ]; do
    t0=$(now)
    "$work/program/palomix-batch" --settings true.ini --output "$work/out" "$work/media" 2>/dev/null
    t1=$(now)
    sh -c 'for f in "$1"/*; do /bin/true "$f"; done' sh "$work/media"
    t2=$(now)
    batch_total=$((batch_total + t1 - t0))
    shell_total=$((shell_total + t2 - t1))
    if [ "$batch_best" -eq 0 ] || [ $((t1 - t0)) -lt "$batch_best" ]; then batch_best=$((t1 - t0)); fi
    if [ "$shell_best" -eq 0 ] || [ $((t2 - t1)) -lt "$shell_best" ]; then shell_best=$((t2 - t1)); fi
    echo "round $((r + 1)): palomix-batch $(( (t1 - t0) / 1000000 )) ms, shell loop $(( (t2 - t1) / 1000000 )) ms"
    r=$((r + 1))
done
echo "jobs: $jobs, rounds: $rounds"
echo "palomix-batch: best $((batch_best / 1000000)) ms ($((batch_best / jobs / 1000)) us per job), mean $((batch_total / rounds / 1000000)) ms"
echo "shell loop:    best $((shell_best / 1000000)) ms ($((shell_best / jobs / 1000)) us per job), mean $((shell_total / rounds / 1000000)) ms"
awk -v a="$batch_best" -v b="$shell_best" -v c="$batch_total" -v d="$shell_total" \
    'BEGIN { printf "ratio: %.3f best rounds, %.3f totals (target <= 1.3)\n", a / b, c / d }'
