#!/usr/bin/env bash
# The Debian package: made by cpack from the build tree into a temporary folder, unpacked
# with dpkg-deb -x, and run from there: its palomix-batch finds its program folder through the
# link in usr/bin, lists the shipped settings and converts a file with the system's ffmpeg
# through the cores/ link. Its control data names the right file and dependencies, and
# lintian finds no error in it.
# Usage: debian_package.sh BUILD_DIR VERSION
set -euo pipefail
build=$1
version=$2
for tool in dpkg-deb dpkg-shlibdeps cpack; do
    if ! command -v "$tool" >/dev/null; then
        echo "$tool is not installed: skipped"
        exit 77
    fi
done
if [ ! -x /usr/bin/ffmpeg ]; then
    echo "/usr/bin/ffmpeg (ffmpeg) is not installed: skipped"
    exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
    echo "FAILED: $*" >&2
    exit 1
}

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/package" >"$work/cpack.log" 2>&1 || {
    cat "$work/cpack.log"; fail "cpack"; }
deb=$work/package/palomix_${version}_$(dpkg --print-architecture).deb
[ -f "$deb" ] || fail "no $(basename "$deb"): $(ls "$work/package")"

depends=$(dpkg-deb --field "$deb" Depends)
echo "Depends: $depends"
for needed in ffmpeg libc6 libstdc++6; do
    [[ ", $depends," == *", $needed"[\ ,]* ]] || fail "Depends lacks $needed"
done
# What the window needs to look right: a CJK font for its Japanese, Qt's own translations.
recommends=$(dpkg-deb --field "$deb" Recommends)
for wanted in fonts-noto-cjk qt6-translations-l10n; do
    [[ ", $recommends," == *", $wanted"[\ ,]* ]] || fail "Recommends lacks $wanted"
done

root=$work/root
dpkg-deb -x "$deb" "$root"
[ "$(readlink "$root/usr/lib/palomix/cores/ffmpeg")" = /usr/bin/ffmpeg ] ||
    fail "cores/ffmpeg -> $(readlink "$root/usr/lib/palomix/cores/ffmpeg")"
[ "$(readlink "$root/usr/bin/palomix-batch")" = ../lib/palomix/palomix-batch ] ||
    fail "bin/palomix-batch -> $(readlink "$root/usr/bin/palomix-batch")"
files=(usr/share/doc/palomix/copyright usr/share/doc/palomix/changelog.gz
       usr/share/man/man1/palomix-batch.1.gz)
if [ -e "$root/usr/lib/palomix/palomix" ]; then  # the window and its desktop files
    files+=(usr/share/applications/palomix.desktop
            usr/share/metainfo/example.palomix.Palomix.metainfo.xml
            usr/share/icons/hicolor/scalable/apps/palomix.svg
            usr/share/icons/hicolor/48x48/apps/palomix.png
            usr/share/man/man1/palomix.1.gz)
    [ "$(readlink "$root/usr/bin/palomix")" = ../lib/palomix/palomix ] || fail "bin/palomix"
fi
for file in "${files[@]}"; do
    [ -s "$root/$file" ] || fail "$file is missing"
done

# Run through the link in usr/bin: the settings are those of the unpacked program folder.
batch=$root/usr/bin/palomix-batch
"$batch" --list --language en >"$work/list.txt"
grep -q "	music.ini	Music	.*	$root/usr/lib/palomix/convert_settings/music.ini\$" "$work/list.txt" ||
    fail "--list: $(head -3 "$work/list.txt")"

mkdir "$work/in dir"
ffmpeg -v error -f lavfi -i "sine=frequency=440:duration=0.5" "$work/in dir/a tune.wav"
"$batch" --settings music.ini --command 0 --output "$work/out" "$work/in dir" 2>"$work/run.log" ||
    { cat "$work/run.log"; fail "the conversion"; }
codec=$(ffprobe -v error -select_streams a:0 -show_entries stream=codec_name -of csv=p=0 \
    "$work/out/a tune_192k.mp3")
[ "$codec" = mp3 ] || fail "the output's codec is '$codec'"
echo "converted with $(readlink -f "$root/usr/lib/palomix/cores/ffmpeg")"

if ! command -v lintian >/dev/null; then
    echo "lintian is not installed: its check is skipped"
    exit 77
fi
status=0
lintian --fail-on error "$deb" >"$work/lintian.txt" 2>&1 || status=$?
grep -v "^running with root privileges" "$work/lintian.txt" || true
[ "$status" -eq 0 ] || fail "lintian reports errors (exit status $status)"
# Every program in usr/bin has its manual page, and the pages render cleanly.
! grep -E "^[EW]: palomix[^ ]*: ([a-z-]*manual[a-z-]*|groff-message|[a-z-]*whatis-entry) " \
    "$work/lintian.txt" ||
    fail "lintian finds fault with the manual pages"
echo "lintian: $(grep -c '^W:' "$work/lintian.txt" || true) warnings, no errors"
