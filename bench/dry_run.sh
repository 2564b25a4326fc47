#!/bin/sh
# Command: bench/dry_run.sh [BUILD_DIR] [FOLDERS] [FILES_PER_FOLDER] [ROUNDS]
#   e.g.   bench/dry_run.sh build 1000 1000 3
#
# The plan of a large tree: `palomix-batch --dry-run` with the MP3 command of the shipped
# music settings over FOLDERS folders of FILES_PER_FOLDER empty files each (default 1,000 ×
# 1,000: a million files), all outputs into one folder, against `find` listing the same tree.
# Two trees: unique names, and every folder holding the same names (albums of 01.mp4 …), whose
# outputs meet in the output folder and are numbered. The trees are built once under
# ${TMPDIR:-/tmp} and kept. Printed per tree: the ratio of the fastest rounds, and the dry
# run's peak memory per job beyond that of a one-file plan. Targets: at most 1.5× and 100 bytes
# per job.
set -eu

build=${1:-build}
folders=${2:-1000}
per=${3:-1000}
rounds=${4:-3}
batch="$build/bin/palomix-batch"
[ -x "$batch" ] || { echo "no $batch; build the palomix-batch target first" >&2; exit 2; }
[ -x /usr/bin/time ] || { echo "GNU time is needed for the peak memory (apt-get install time)" >&2; exit 2; }
base="${TMPDIR:-/tmp}/palomix-bench-dry-run-${folders}x${per}"

# build_tree DIR unique|same
build_tree() {
    [ -f "$1.complete" ] && return
    echo "building $1 ..."
    rm -rf "$1"
    f=0
    while [ "$f" -lt "$folders" ]; do
        dir=$(printf '%s/folder-%04d' "$1" "$f")
        mkdir -p "$dir"
        if [ "$2" = unique ]; then
            seq -f "$dir/clip-$f-%05g.mp4" 1 "$per" | xargs touch
        else
            seq -f "$dir/%05g.mp4" 1 "$per" | xargs touch
        fi
        f=$((f + 1))
    done
    : > "$1.complete"
}

now() { date +%s%N; }
one_file=$(mktemp -d "${TMPDIR:-/tmp}/palomix-bench-XXXXXX")
trap 'rm -rf "$one_file"' EXIT
: > "$one_file/a.mp4"
plan() { "$batch" --settings music.ini --command 0 --dry-run --output "$one_file/out" "$1"; }
peak_kb() {
    /usr/bin/time -f %M "$batch" --settings music.ini --command 0 --dry-run \
        --output "$one_file/out" "$1" > /dev/null 2> "$one_file/time" || true
    tail -n 1 "$one_file/time"
}
jobs=$((folders * per))
base_kb=$(peak_kb "$one_file/a.mp4")

for kind in unique same; do
    tree="$base/$kind"
    build_tree "$tree" "$kind"
    plan "$tree" > /dev/null  # the tree's folders in the system's cache for both
    plan_best=0
    find_best=0
    r=0
    while [ "$r" -lt "$rounds" ]; do
        start=$(now); plan "$tree" > /dev/null; t=$(($(now) - start))
        if [ "$plan_best" -eq 0 ] || [ "$t" -lt "$plan_best" ]; then plan_best=$t; fi
        start=$(now); find "$tree" -type f > /dev/null; t=$(($(now) - start))
        if [ "$find_best" -eq 0 ] || [ "$t" -lt "$find_best" ]; then find_best=$t; fi
        r=$((r + 1))
    done
    kb=$(peak_kb "$tree")
    awk -v kind="$kind" -v jobs="$jobs" -v p="$plan_best" -v f="$find_best" \
        -v kb="$kb" -v base="$base_kb" 'BEGIN {
        printf "%-6s %d jobs: dry run %.3f s, find %.3f s: %.2fx (target <= 1.5); peak %.1f MB, %.0f bytes per job (target <= 100)\n",
            kind, jobs, p / 1e9, f / 1e9, p / f, kb / 1024, (kb - base) * 1024 / jobs }'
done
