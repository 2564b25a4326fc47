#!/bin/sh
# Command: bench/output_check.sh [BUILD_DIR] [FILES] [ROUNDS] [SECONDS]
#   e.g.   bench/output_check.sh build 20 3 30
#
# The cost of the checks a run makes besides converting: FILES (default 20) WAV files of
# SECONDS (default 30) converted to MP3 with the shipped music command (MP3 192 kbps) by
# palomix-batch in the build's program folder, where palomix-probe (or cores/ffprobe) checks every output (and
# tells each input's length) and cores/ffmpeg's lists are read once, against a copy of that
# folder whose cores holds ffmpeg only (no check). Each is run ROUNDS times (default 3); the
# fastest round of each counts. Printed: both times, the cost per file (target: at most 150 ms,
# two ffprobe starts) and the ratio. Needs ffmpeg and ffprobe in the build's cores.
set -eu

build=${1:-build}
files=${2:-20}
rounds=${3:-3}
seconds=${4:-30}
program="$build/bin"
[ -x "$program/palomix-batch" ] || { echo "no $program/palomix-batch; build it first" >&2; exit 2; }
[ -e "$program/cores/ffprobe" ] || { echo "no ffprobe in $program/cores" >&2; exit 2; }

work=$(mktemp -d "${TMPDIR:-/tmp}/palomix-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/wav" "$work/unchecked/cores"
cp "$program/palomix-batch" "$work/unchecked/"
cp -r "$program/convert_settings" "$work/unchecked/"
ln -s "$(readlink -f "$program/cores/ffmpeg")" "$work/unchecked/cores/ffmpeg"
i=0
while [ "$i" -lt "$files" ]; do
    ffmpeg -v error -f lavfi -i "sine=frequency=$((220 + i * 7)):duration=$seconds:sample_rate=44100" \
        -ac 2 "$work/wav/track $i.wav"
    i=$((i + 1))
done

now() { date +%s%N; }
best() { [ "$1" -eq 0 ] || [ "$2" -lt "$1" ] && echo "$2" || echo "$1"; }

checked=0
unchecked=0
r=0
while [ "$r" -lt "$rounds" ]; do
    for folder in "$program" "$work/unchecked"; do
        rm -rf "$work/out" && mkdir "$work/out"
        start=$(now)
        "$folder/palomix-batch" --settings music.ini --command 0 --output "$work/out" \
            "$work/wav" 2>/dev/null
        took=$(($(now) - start))
        if [ "$folder" = "$program" ]; then
            checked=$(best "$checked" "$took")
        else
            unchecked=$(best "$unchecked" "$took")
        fi
    done
    r=$((r + 1))
done

echo "files: $files, rounds: $rounds (fastest round of each)"
awk -v a="$checked" -v b="$unchecked" -v n="$files" 'BEGIN {
    printf "outputs checked:     %.2f s\n", a / 1e9
    printf "outputs not checked: %.2f s\n", b / 1e9
    printf "per file: %.0f ms more (target <= 150); ratio %.3f\n", (a - b) / n / 1e6, a / b
}'
