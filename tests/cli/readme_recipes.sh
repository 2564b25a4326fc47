#!/usr/bin/env bash
# The jobs of `palomix-batch --dry-run --format json`, run by GNU parallel as the README shows,
# make the same files as palomix-batch's own run: with jq for names in UTF-8, and with the
# Python recipe for names of any bytes. So does the README's Slurm recipe, taken from the README
# itself and run through a stand-in for sbatch that keeps to MaxArraySize, with more jobs than
# that; and the README's check of the outputs with ffprobe passes them, and fails a cut one.
# No step of the README starts sudo for root.
# Uses the shipped music settings of the program folder.
# Usage: readme_recipes.sh PROGRAM_FOLDER README
set -euo pipefail
batch=$(cd "$1" && pwd)/palomix-batch
readme=$2

# No step of the README starts sudo itself: root, on a machine without sudo, has none to start.
if grep -nE '^\s*sudo\s' "$readme"; then
    echo "README: a step needs sudo, also for root" >&2
    exit 1
fi

for tool in parallel jq ffmpeg ffprobe; do
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
# A file the command does not take: its job has no command, and the recipes leave it out.
echo notes >"$work/in/notes.txt"

# The README's recipe with jq: one shell command a job, NUL-ended, so names may hold newlines.
to_shell_jq() {
    jq -j 'select(.commands != []) | "mkdir -p -- \(.output_folder | @sh) && "
           + ([.commands[] | @sh] | join(" && ")) + "\u0000"'
}
# The README's recipe with Python: any bytes, through the \udcXX escapes.
cat >"$work/jobs-to-shell.py" <<'PYTHON'
import json, os, sys
def quote(text):  # one shell word, byte for byte
    return b"'" + os.fsencode(text).replace(b"'", b"'\\''") + b"'"
for line in sys.stdin:
    job = json.loads(line)
    if not job["commands"]:  # skipped, or cannot convert: nothing to run
        continue
    commands = [b"mkdir -p -- " + quote(job["output_folder"])]
    commands += [b" ".join(quote(a) for a in command) for command in job["commands"]]
    sys.stdout.buffer.write(b" && ".join(commands) + b"\0")
PYTHON
to_shell_python() {
    python3 "$work/jobs-to-shell.py"
}

# The fenced sh block of the README that holds the text $1.
readme_block() {
    awk -v text="$1" '
        /^```/ && inside { if (index(block, text)) { printf "%s", block; found = 1; exit }
                           inside = 0; block = ""; next }
        /^```sh$/ { inside = 1; next }
        inside { block = block $0 "\n" }
        END { exit !found }' "$readme" || { echo "no sh block of $readme holds $1" >&2; exit 1; }
}
readme_block '#SBATCH' >"$work/convert.sh"
readme_block 'sbatch --array' >"$work/submit.sh"
readme_block 'ffprobe -v error' >"$work/check-outputs.sh"

# Stand-ins for Slurm's commands: scontrol tells a small MaxArraySize, and sbatch refuses an
# array beyond it as Slurm does, else runs each task here, one after the other, with the
# variables it is told to export.
mkdir "$work/slurm"
cat >"$work/slurm/scontrol" <<'SCONTROL'
#!/bin/bash
[ "$*" = "show config" ] && echo "MaxArraySize            = $MAX_ARRAY_SIZE"
SCONTROL
cat >"$work/slurm/sbatch" <<'SBATCH'
#!/bin/bash
for argument; do
    case $argument in
        --array=*) range=${argument#--array=}; range=${range%%%*} ;;
        --export=*) IFS=, read -ra exported <<<"${argument#--export=}" ;;
        -*) ;;
        *) script=$argument ;;
    esac
done
first=${range%%-*} last=${range#*-}
if ! [[ $first =~ ^[0-9]+$ && $last =~ ^[0-9]+$ ]] || ((first > last || last >= MAX_ARRAY_SIZE)); then
    echo "sbatch: error: Batch job submission failed: the job array is larger than MaxArraySize allows" >&2
    exit 1
fi
for variable in "${exported[@]}"; do
    [ "$variable" = ALL ] || export "${variable?}"
done
status=0
for ((task = first; task <= last; task++)); do
    SLURM_ARRAY_TASK_ID=$task bash "$script" || status=1
done
exit "$status"
SBATCH
chmod +x "$work/slurm/scontrol" "$work/slurm/sbatch"

# The jobs of jobs.json, each way.
run_parallel() {
    "$1" <"$work/jobs.json" | parallel --will-cite -0 --jobs 2 --halt now,fail=1
}
run_slurm() {
    (cd "$work" && PATH=$work/slurm:$PATH MAX_ARRAY_SIZE=$1 bash submit.sh)
}

# Runs the inputs of folder $1 both ways, the plan's jobs run by the rest of the arguments, and
# compares the outputs.
check() {
    local in=$1
    shift
    rm -rf "$work/own" "$work/parallel out"
    "$batch" "${convert[@]}" --output "$work/own" "$in" 2>"$work/own.log" || {
        cat "$work/own.log"; exit 1; }
    (cd "$in" && find . -type f -print0) |
        (cd "$in" && "$batch" --null --dry-run --format json "${convert[@]}" \
             --output "$work/parallel out" -) >"$work/jobs.json" 2>"$work/plan.log"
    local jobs runnable recipe="$*"
    jobs=$(wc -l <"$work/jobs.json")
    runnable=$(jq -s 'map(select(.commands != [])) | length' "$work/jobs.json")
    "$@" >"$work/parallel.log" 2>&1 || { cat "$work/parallel.log"; exit 1; }
    local made
    made=$(find "$work/parallel out" -type f -printf x | wc -c)
    if [ "$jobs" -ne "$(find "$in" -type f -printf x | wc -c)" ] || [ "$made" -ne "$runnable" ]; then
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

check "$work/in" run_parallel to_shell_jq
if command -v python3 >/dev/null; then
    check "$work/in-bytes" run_parallel to_shell_python
    check "$work/in" run_parallel to_shell_python
fi
# Seven jobs where an array may hold four tasks: two jobs a task, the last task numbered 3.
check "$work/in" run_slurm 4
if MAX_ARRAY_SIZE=4 PATH=$work/slurm:$PATH sbatch --array=1-6%50 "$work/convert.sh" 2>/dev/null; then
    echo "the stand-in for sbatch took an array beyond MaxArraySize" >&2
    exit 1
fi

# The README's check passes the outputs the jobs made, and names one that is too short or cut.
bash "$work/check-outputs.sh" "$work/jobs.json"
short=$(find "$work/parallel out" -name 'plain*' -type f)
ffmpeg -v error -y -f lavfi -i sine=duration=0.1 -ac 1 -ar 8000 -f wav "$short"
expect_report() {
    local report
    if report=$(bash "$work/check-outputs.sh" "$work/jobs.json"); then
        echo "the check passed a bad output" >&2
        exit 1
    fi
    [ "$report" = "$1" ] || { echo "check-outputs.sh said: $report" >&2; exit 1; }
}
expect_report "too short: $short (0.100000 s of 0.200000 s)"
truncate -s 100 "$short"
expect_report "unreadable: $short"
echo "check-outputs.sh: the outputs pass, a short one and a cut one are named"
