#!/usr/bin/env bash
# The desktop entry's MIME types against the installed shared-mime-info database, which is what
# file managers look a file's type up in:
#   known     every type the entry claims is a type or an alias the database knows; a type it
#             does not know gives no "Open with" for any file.
#   settings  every extension the shipped settings files accept (their Extensions= lines) has
#             the types the database gives it claimed by the entry, or is one the database does
#             not know, listed below.
# Skipped when the database is not installed.
# Usage: mime_types.sh known|settings SOURCE_DIR [MIME_DIR]
set -euo pipefail
mode=$1
source_dir=$2
mime=${3:-/usr/share/mime}
desktop=$source_dir/packaging/linux/palomix.desktop

# Extensions the database does not know, so no type can be claimed for them. Their files
# still convert when dropped onto the window or added from its File menu. Should a later
# database know one, its type has to be claimed.
unknown_extensions=(
    caf   # Core Audio
    dpx   # known by its content only, as image/dpx (claimed)
    jfif  # JPEG under another name
    m2v   # MPEG-2 video stream
    qoi
    tod   # camcorder MPEG-2
    y4m   # YUV4MPEG2
)
# Types of other kinds of file that share an extension with media: not claimed.
unrelated_types=(
    text/vnd.trolltech.linguist       # *.ts: Qt translation sources
    audio/x-mod application/x-object  # *.mod: tracker music and object files, not camcorder video
)

for file in types aliases globs2; do
    if [ ! -f "$mime/$file" ]; then
        echo "the shared-mime-info database ($mime/$file) is not installed: skipped"
        exit 77
    fi
done
fail() {
    echo "FAILED: $*" >&2
    exit 1
}

mapfile -t claimed < <(sed -n 's/^MimeType=//p' "$desktop" | tr ';' '\n' | sed '/^$/d')
[ "${#claimed[@]}" -gt 0 ] || fail "$desktop claims no MIME type"
is_claimed() {
    local type
    for type in "${claimed[@]}"; do
        [ "$type" = "$1" ] && return 0
    done
    return 1
}

case $mode in
known)
    unknown=()
    for type in "${claimed[@]}"; do
        grep -qxF "$type" "$mime/types" || awk -v t="$type" '$1 == t { found = 1 } END { exit !found }' \
            "$mime/aliases" || unknown+=("$type")
    done
    [ "${#unknown[@]}" -eq 0 ] || fail "unknown to shared-mime-info: ${unknown[*]}"
    echo "all ${#claimed[@]} claimed types are known to shared-mime-info"
    ;;
settings)
    # As the program reads the lists: comma-separated, blanks and leading dots trimmed, any
    # letter case; a value in double quotes loses them.
    mapfile -t extensions < <(
        sed -n 's/\r$//; s/^[Ee][Xx][Tt][Ee][Nn][Ss][Ii][Oo][Nn][Ss][ \t]*=[ \t]*//p' \
            "$source_dir"/convert_settings/*.ini |
            sed 's/^"\(.*\)"$/\1/' | tr ',' '\n' |
            sed 's/^[ \t.]*//; s/[ \t]*$//' | tr '[:upper:]' '[:lower:]' | sed '/^$/d' | sort -u)
    [ "${#extensions[@]}" -gt 0 ] || fail "no Extensions= line in the shipped settings"
    missing=()
    for extension in "${extensions[@]}"; do
        # globs2 lines are WEIGHT:TYPE:GLOB[:FLAGS]; a glob is matched in any letter case.
        mapfile -t types < <(awk -F: -v glob="*.$extension" 'tolower($3) == glob { print $2 }' \
            "$mime/globs2" | sort -u)
        if [ "${#types[@]}" -eq 0 ] && [[ " ${unknown_extensions[*]} " != *" $extension "* ]]; then
            missing+=("$extension (unknown to the database, and not listed as such)")
        fi
        for type in "${types[@]}"; do
            [[ " ${unrelated_types[*]} " == *" $type "* ]] && continue
            is_claimed "$type" || missing+=("$extension ($type)")
        done
    done
    [ "${#missing[@]}" -eq 0 ] || fail "accepted by the settings, not claimed: ${missing[*]}"
    echo "the types of all ${#extensions[@]} accepted extensions are claimed"
    ;;
*)
    fail "unknown mode $mode"
    ;;
esac
