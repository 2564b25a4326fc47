#!/usr/bin/env bash
# The licence is stated wherever a distribution or a user looks for it: LICENSE holds the GNU
# GPL version 3 (Debian's copy of it, where installed), debian/copyright states it in the
# machine-readable format (every Files paragraph with its copyright and a licence whose text is
# there, the GPL's pointing at Debian's copy), and the AppStream description names it.
# Usage: licence.sh SOURCE_DIR
set -euo pipefail
source_dir=$1
licence=GPL-3.0-or-later
copyright=$source_dir/packaging/debian/copyright
fail() {
    echo "FAILED: $*" >&2
    exit 1
}

if [ -f /usr/share/common-licenses/GPL-3 ]; then
    cmp -s /usr/share/common-licenses/GPL-3 "$source_dir/LICENSE" ||
        fail "LICENSE differs from /usr/share/common-licenses/GPL-3"
else
    head -2 "$source_dir/LICENSE" | tr -s ' ' | grep -qx ' Version 3, 29 June 2007' ||
        fail "LICENSE is not the GNU GPL version 3"
fi

# The paragraphs of debian/copyright, read as its format defines them: fields, continuation
# lines starting with a blank, paragraphs parted by empty lines.
problems=$(awk -v want="$licence" '
    function paragraph_end() {
        if (fields == 0) return
        if (count == 0) {
            if (format !~ /^https:\/\/www\.debian\.org\/doc\/packaging-manuals\/copyright-format\/1\.0\/?$/)
                print "the first paragraph has no Format: of the copyright format 1.0"
        } else if (files != "") {
            if (copyright == "") print "Files: " files " has no Copyright:"
            if (name == "") print "Files: " files " has no License:"
            else if (!has_text) used[name] = 1
            if (files == "*") star = name
        } else if (name != "") {
            if (!has_text) print "License: " name " has no text"
            texts[name] = 1
        } else {
            print "paragraph " count + 1 " is neither a Files nor a License paragraph"
        }
        count++
        fields = 0; files = ""; copyright = ""; name = ""; has_text = 0; field = ""
    }
    /All rights reserved/ { print "line " NR " reserves all rights" }
    /^[ \t]*$/ { paragraph_end(); next }
    /^[ \t]/ { if (field == "license") has_text = 1; if (field == "") print "line " NR " continues nothing"; next }
    {
        fields++
        field = tolower(substr($0, 1, index($0, ":") - 1))
        value = substr($0, index($0, ":") + 1); sub(/^[ \t]+/, "", value); sub(/[ \t]+$/, "", value)
        if (field == "format") format = value
        else if (field == "files") files = value
        else if (field == "copyright") copyright = value
        else if (field == "license") name = value
        if (index($0, ":") == 0) print "line " NR " is no field"
    }
    END {
        paragraph_end()
        for (n in used) if (!(n in texts)) print "License: " n " is used without its text"
        if (star != want) print "Files: * is under " star ", not " want
    }' "$copyright")
[ -z "$problems" ] || fail "debian/copyright: $problems"
grep -q '/usr/share/common-licenses/GPL-3' "$copyright" ||
    fail "debian/copyright does not point at /usr/share/common-licenses/GPL-3"

grep -q "<project_license>$licence</project_license>" \
    "$source_dir"/packaging/linux/*.metainfo.xml.in || fail "the metainfo names no $licence"
echo "LICENSE, debian/copyright and the metainfo state $licence"
