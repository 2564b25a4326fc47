#!/usr/bin/env bash
# The manual pages render without a single warning: through man-db as lintian renders them
# (UTF-8, 80 columns) and through groff with every warning on. palomix-batch(1) describes
# exactly the options that palomix-batch --help lists, so a new option cannot be left out.
# Usage: manual_pages.sh PALOMIX_BATCH PAGE...
set -euo pipefail
batch=$1
shift
for tool in man groff; do
    if ! command -v "$tool" >/dev/null; then
        echo "$tool is not installed: skipped"
        exit 77
    fi
done
status=0
for page in "$@"; do
    warnings=$(
        {
            LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 \
                man --warnings -E UTF-8 -l -Tutf8 -Z "$page" >/dev/null
            groff -man -ww -z "$page"
        } 2>&1
    ) || warnings+=$'\n(exit status '$?')'
    if [ -n "$warnings" ]; then
        echo "FAILED: $page:" >&2
        echo "$warnings" >&2
        status=1
    fi
done

# The options of the page are the first words of its OPTIONS entries (".TP", then the option).
batch_page=
for page in "$@"; do
    [[ $(basename "$page") == palomix-batch.1 ]] && batch_page=$page
done
if [ -n "$batch_page" ]; then
    in_help=$("$batch" --help | sed -n 's/^  \(--[a-z-]*\).*/\1/p' | sort)
    in_page=$(awk '/^\.SH/ { options = ($2 == "OPTIONS") } options && previous == ".TP" { print $2 }
                   { previous = $1 }' "$batch_page" | sed 's/\\-/-/g' | grep '^--' | sort)
    if [ -z "$in_help" ] || [ "$in_help" != "$in_page" ]; then
        echo "FAILED: the options of --help and of $batch_page differ:" >&2
        diff <(echo "$in_help") <(echo "$in_page") >&2 || true
        status=1
    fi
fi
exit "$status"
