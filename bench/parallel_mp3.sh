#!/bin/sh
# Command: bench/parallel_mp3.sh [BUILD_DIR] [FILES] [ROUNDS]
#   e.g.   bench/parallel_mp3.sh build 40 3
#
# Several conversions at once. FILES (default 40) ten-second WAV files are converted to MP3
# with the shipped music command (MP3 192 kbps) through palomix-batch with --jobs 2 and with
# --jobs 1, and by GNU parallel -j2 running the very command lines that palomix-batch
# --dry-run --format json lists (each argument list quoted for the shell by jq). Each is run
# ROUNDS times (default 3); the fastest round of each counts. GNU parallel runs the lines and
# nothing else, so palomix-batch is run like for like from a copy of its program folder whose
# cores holds ffmpeg only: no ffprobe, so no output check and no lengths (bench/output_check.sh
# measures what the check adds). Printed: the speed-up of --jobs 2 over --jobs 1 (target: at
# least 1.7 on two cores), the ratio of --jobs 2 to GNU parallel (target: at most 1.05), and,
# for the record, --jobs 2 of the build's own folder, whose ffprobe checks every output.
# Needs ffmpeg, jq and parallel (Debian packages).
set -eu

build=${1:-build}
files=${2:-40}
rounds=${3:-3}
batch="$build/bin/palomix-batch"
[ -x "$batch" ] || { echo "no $batch; build the palomix-batch target first" >&2; exit 2; }
for tool in ffmpeg jq parallel; do
    command -v "$tool" >/dev/null || { echo "$tool is needed" >&2; exit 2; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/palomix-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/wav" "$work/unchecked/cores"
cp "$batch" "$work/unchecked/"
cp -r "$build/bin/convert_settings" "$work/unchecked/"
ln -s "$(readlink -f "$build/bin/cores/ffmpeg")" "$work/unchecked/cores/ffmpeg"
i=0
while [ "$i" -lt "$files" ]; do
    ffmpeg -v error -f lavfi -i "sine=frequency=$((220 + i * 7)):duration=10:sample_rate=44100" \
        -ac 2 "$work/wav/track $i.wav"
    i=$((i + 1))
done

now() { date +%s%N; }
best() { [ "$1" -eq 0 ] || [ "$2" -lt "$1" ] && echo "$2" || echo "$1"; }

one=0
two=0
gnu=0
checked=0
r=0
while [ "$r" -lt "$rounds" ]; do
    for jobs in 1 2; do
        rm -rf "$work/out" && mkdir "$work/out"
        start=$(now)
        "$work/unchecked/palomix-batch" --settings music.ini --command 0 --output "$work/out" \
            --jobs "$jobs" "$work/wav" 2>/dev/null
        took=$(($(now) - start))
        [ "$jobs" -eq 1 ] && one=$(best "$one" "$took") || two=$(best "$two" "$took")
    done
    rm -rf "$work/out" && mkdir "$work/out"
    start=$(now)
    "$batch" --settings music.ini --command 0 --output "$work/out" --jobs 2 "$work/wav" 2>/dev/null
    checked=$(best "$checked" "$(($(now) - start))")
    rm -rf "$work/out" && mkdir "$work/out"
    "$batch" --dry-run --format json --settings music.ini --command 0 --output "$work/out" \
        "$work/wav" 2>/dev/null | jq -r '.commands[] | @sh' > "$work/lines.sh"
    start=$(now)
    parallel -j2 < "$work/lines.sh" 2>/dev/null
    took=$(($(now) - start))
    gnu=$(best "$gnu" "$took")
    r=$((r + 1))
done

echo "files: $files, rounds: $rounds (fastest round of each)"
awk -v one="$one" -v two="$two" -v gnu="$gnu" -v checked="$checked" 'BEGIN {
    printf "palomix-batch --jobs 1: %.2f s\n", one / 1e9
    printf "palomix-batch --jobs 2: %.2f s\n", two / 1e9
    printf "GNU parallel -j2:       %.2f s\n", gnu / 1e9
    printf "speed-up --jobs 2 over --jobs 1: %.2f (target >= 1.7)\n", one / two
    printf "--jobs 2 against GNU parallel:   %.3f (target <= 1.05)\n", two / gnu
    printf "--jobs 2 with every output checked by ffprobe: %.2f s (%.2f of GNU parallel)\n", \
        checked / 1e9, checked / gnu
}'
