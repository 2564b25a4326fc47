#!/usr/bin/env bash
# The jobs of `palomix-batch --dry-run --format json`, run by GNU parallel as the README shows,
# make the same files as palomix-batch's own run: with jq for names in UTF-8, and with the
# Python recipe for names of any bytes. Uses the shipped music settings of the program folder.
# Usage: dry_run_parallel.sh PROGRAM_FOLDER
set -euo pipefail
batch=$(cd "$1" && pwd)/palomix-batch
for tool in parallel jq ffmpeg; do
    if ! command -v "$tool" >/dev/null; then
        echo "$tool is not installed: skipped"
        exit 77
    fi
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
convert=(--settings music.ini --command 5)  # WAV: the same bytes for the same input

# Sources with names a shell would take apart.
names=("plain.wav" "two  blanks.wav" "say \"hi\" \$(touch pwned); 'y' \\.wav" "-dash.wav"
       $'new\nline.wav' "日本語 の 曲.wav")
mkdir "$work/in" "$work/in-bytes"
i=0
for name in "${names[@]}"; do
    i=$((i + 1))
    ffmpeg -v error -f lavfi -i "sine=frequency=$((200 * i)):duration=0.2" -ac 1 -ar 8000 \
        "$work/in/$name"
done
cp "$work/in/plain.wav" "$work/in-bytes/$(printf 'latin1 \xe9t\xe9.wav')"
cp "$work/in/plain.wav" "$work/in-bytes/$(printf 'cut \xe6\x97.wav')"

# The README's recipe with jq: one shell command a job, NUL-ended, so names may hold newlines.
to_shell_jq() {
    jq -j '"mkdir -p -- \(.output_folder | @sh) && "
           + ([.commands[] | @sh] | join(" && ")) + "\u0000"'
}
# The README's recipe with Python: any bytes, through the \udcXX escapes.
cat >"$work/jobs-to-shell.py" <<'PYTHON'
import json, os, sys
def quote(text):  # one shell word, byte for byte
    return b"'" + os.fsencode(text).replace(b"'", b"'\\''") + b"'"
for line in sys.stdin:
    job = json.loads(line)
    commands = [b"mkdir -p -- " + quote(job["output_folder"])]
    commands += [b" ".join(quote(a) for a in command) for command in job["commands"]]
    sys.stdout.buffer.write(b" && ".join(commands) + b"\0")
PYTHON
to_shell_python() {
    python3 "$work/jobs-to-shell.py"
}

# Runs the inputs of folder $1 both ways, with the recipe $2, and compares the outputs.
check() {
    local in=$1 recipe=$2
    rm -rf "$work/own" "$work/parallel out"
    "$batch" "${convert[@]}" --output "$work/own" "$in" 2>"$work/own.log" || {
        cat "$work/own.log"; exit 1; }
    (cd "$in" && find . -type f -print0) |
        (cd "$in" && "$batch" --null --dry-run --format json "${convert[@]}" \
             --output "$work/parallel out" -) >"$work/jobs.json"
    local jobs
    jobs=$(wc -l <"$work/jobs.json")
    "$recipe" <"$work/jobs.json" |
        parallel --will-cite -0 --jobs 2 --halt now,fail=1 >"$work/parallel.log" 2>&1 || {
        cat "$work/parallel.log"; exit 1; }
    local made
    made=$(find "$work/parallel out" -type f -printf x | wc -c)
    if [ "$jobs" -ne "$(find "$in" -type f -printf x | wc -c)" ] || [ "$made" -ne "$jobs" ]; then
        echo "$recipe: $jobs jobs, $made files made for $in" >&2
        exit 1
    fi
    diff -r "$work/own" "$work/parallel out"
    if [ -e "$work/pwned" ] || [ -e "$in/pwned" ]; then
        echo "a name was run as a command" >&2
        exit 1
    fi
    echo "$recipe: $jobs jobs, the same files"
}

check "$work/in" to_shell_jq
if command -v python3 >/dev/null; then
    check "$work/in-bytes" to_shell_python
    check "$work/in" to_shell_python
fi
