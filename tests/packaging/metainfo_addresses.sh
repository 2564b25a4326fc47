#!/usr/bin/env bash
# The web addresses the package shows software centres and users are real or absent, never a
# placeholder: the build's AppStream description, its About box's web site and the package's
# Homepage name no address of a domain reserved for examples. Written from its template with
# addresses, the description names them, its screenshots are pictures docs/ ships at their
# own sizes, and it passes the validator; written without, it names none and still passes.
# Usage: metainfo_addresses.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
source_dir=$1
build=$2
template=$(echo "$source_dir"/packaging/linux/*.metainfo.xml.in)
if ! command -v appstreamcli >/dev/null; then
    echo "appstreamcli is not installed: skipped"
    exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
    echo "FAILED: $*" >&2
    exit 1
}
# Domains that lead nowhere by definition (RFC 2606, RFC 6761).
placeholder='https?://([^/"<]*\.)?(example|invalid|test|localhost|example\.(com|net|org))([/:"<]|$)'

shipped=("$build/generated/palomix/BuildInfo.h" "$build/CPackConfig.cmake")
metainfo=$(echo "$build"/packaging/*.metainfo.xml)
[ -f "$metainfo" ] && shipped+=("$metainfo")
for file in "${shipped[@]}"; do
    [ -f "$file" ] || fail "$file is missing"
    ! grep -EHn "$placeholder" "$file" || fail "a placeholder address in $file"
done

write() {  # OUTPUT WEB_SITE SCREENSHOTS_URL
    cmake -DTEMPLATE="$template" -DOUTPUT="$1" -DWEB_SITE="$2" -DSCREENSHOTS_URL="$3" \
        -P "$source_dir/cmake/WriteMetainfo.cmake"
    appstreamcli validate --no-net --pedantic "$1" >"$work/validate.txt" ||
        { cat "$work/validate.txt"; fail "appstreamcli validate, written with '$2' '$3'"; }
}

write "$work/none.xml" "" ""
! grep -E '<url|<screenshot|https?:' "$work/none.xml" || fail "an address written without one"

site='https://palomix.site/a?b&c'
write "$work/given.xml" "$site" "https://pictures.site/palomix/docs/"
grep -qF '<url type="homepage">https://palomix.site/a?b&amp;c</url>' "$work/given.xml" ||
    fail "no homepage $site"
count=0
while read -r width height url; do
    picture=$source_dir/docs/${url#https://pictures.site/palomix/docs/}
    [ "$url" != "${url#https://pictures.site/palomix/docs/}" ] && [ -f "$picture" ] ||
        fail "no picture in docs/ for $url"
    # The PNG header holds the width and height as 32-bit numbers at bytes 16 and 20.
    read -r w h < <(od -An -tu1 -j16 -N8 "$picture" |
        awk '{ print $1*16777216+$2*65536+$3*256+$4, $5*16777216+$6*65536+$7*256+$8 }')
    [ "$w $h" = "$width $height" ] || fail "$url is ${w}x${h}, the description says ${width}x${height}"
    count=$((count + 1))
done < <(sed -n 's/.*<image type="source" width="\([0-9]*\)" height="\([0-9]*\)">\([^<]*\)<.*/\1 \2 \3/p' \
    "$work/given.xml")
[ "$count" -gt 0 ] || fail "no screenshot written with an address"
echo "no placeholder address; the description names the addresses it is given, $count screenshots"
