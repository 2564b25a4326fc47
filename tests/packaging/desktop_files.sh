#!/usr/bin/env bash
# The desktop entry and the build's AppStream description pass their validators, the
# description's newest release is the project's version, and the icon renders at the sizes the
# build makes. (The description's addresses: metainfo_addresses.sh.)
# Usage: desktop_files.sh SOURCE_DIR BUILD_DIR VERSION
set -euo pipefail
source_dir=$1
build=$2
version=$3
packaging=$source_dir/packaging
metainfo=$build/packaging/example.palomix.Palomix.metainfo.xml
for tool in desktop-file-validate appstreamcli; do
    if ! command -v "$tool" >/dev/null; then
        echo "$tool is not installed: skipped"
        exit 77
    fi
done
fail() {
    echo "FAILED: $*" >&2
    exit 1
}

desktop-file-validate "$packaging/linux/palomix.desktop" || fail "desktop-file-validate"
grep -qx 'Exec=palomix %F' "$packaging/linux/palomix.desktop" || fail "Exec"
# The build writes the description when it builds the window.
if [ -f "$metainfo" ]; then
    appstreamcli validate --no-net --pedantic --explain "$metainfo" || fail "appstreamcli validate"
    newest=$(grep -o '<release version="[^"]*"' "$metainfo" | head -1 | cut -d'"' -f2)
    [ "$newest" = "$version" ] || fail "the newest release is $newest, the project is $version"
fi

if [ -d "$build/icons" ]; then
    for png in "$build"/icons/hicolor/*/apps/palomix.png; do
        size=${png#"$build"/icons/hicolor/}
        size=${size%%x*}
        # The PNG header holds the width and height as 32-bit numbers at bytes 16 and 20.
        read -r w h < <(od -An -tu1 -j16 -N8 "$png" |
            awk '{ print $1*16777216+$2*65536+$3*256+$4, $5*16777216+$6*65536+$7*256+$8 }')
        [ "$w" = "$size" ] && [ "$h" = "$size" ] || fail "$png is ${w}x${h}"
    done
fi
echo "desktop entry, AppStream description and icons are valid"
