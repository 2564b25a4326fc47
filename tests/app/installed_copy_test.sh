#!/bin/sh
# An installed copy used by an ordinary user: "cmake --install" into a temporary prefix that is
# then made read-only, used by the user "nobody" with a home of its own. The window converts a
# file into the user's videos folder and keeps its state in the user's configuration folder
# from one start to the next; the real program, ended by a terminate signal (as at logout),
# saves its state there too. Exits 77 (skipped) when it cannot switch users or ffmpeg is missing.
#   installed_copy_test.sh BUILD_DIR CMAKE DRIVER
set -eu
build=$1
cmake=$2
driver=$3
if [ "$(id -u)" -ne 0 ] || ! id nobody >/dev/null 2>&1 || ! command -v setpriv >/dev/null 2>&1; then
    echo "needs root, the user nobody and setpriv to act as another user"
    exit 77
fi
if ! command -v ffmpeg >/dev/null 2>&1; then
    echo "ffmpeg is not installed"
    exit 77
fi
group=$(id -gn nobody)

tmp=$(mktemp -d)
cleanup() {
    [ -n "${pid:-}" ] && kill -9 "$pid" 2>/dev/null || true
    chmod -R u+w "$tmp" 2>/dev/null || true
    rm -rf "$tmp"
}
trap cleanup EXIT
chmod 755 "$tmp"

prefix=$tmp/usr
"$cmake" --install "$build" --prefix "$prefix" >/dev/null
# The program folder: lib/palomix in the installed layout, the prefix itself in a folder layout.
program=$prefix/lib/palomix
[ -d "$program" ] || program=$prefix
cp "$driver" "$program/"
chmod -R a+rX,a-w "$prefix"

home=$tmp/home
mkdir -p "$home/.config" "$home/Filme" "$tmp/run" "$tmp/in"
printf 'XDG_VIDEOS_DIR="$HOME/Filme"\n' >"$home/.config/user-dirs.dirs"
chown -R nobody:"$group" "$home" "$tmp/run"
chmod 700 "$tmp/run"
ffmpeg -loglevel error -nostdin -f lavfi -i sine=duration=0.3 "$tmp/in/tone.wav"
chmod -R a+rX "$tmp/in"

# Runs the command as the user, in place of the calling (sub)shell.
as_user() {
    exec env -i HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_RUNTIME_DIR="$tmp/run" \
        PATH=/usr/bin:/bin QT_QPA_PLATFORM=offscreen \
        setpriv --reuid=nobody --regid="$group" --clear-groups "$@"
}
fail() {
    echo "FAILED: $*"
    exit 1
}

state=$home/.config/palomix/Palomix.ini
(as_user "$program/$(basename "$driver")" convert "$tmp/in/tone.wav" "$home/Filme") ||
    fail "the first start"
[ -f "$state" ] || fail "no state file in the user's folder"
[ ! -e "$program/Palomix.ini" ] || fail "a state file in the program folder"
ls "$home/Filme"/*.mp3 >/dev/null || fail "no MP3 in the videos folder"

# The real program: started, then asked to end as a logout asks, once it watches for that.
touch -d 2000-01-01 "$state"
(as_user "$program/palomix") >"$tmp/palomix.log" 2>&1 &
pid=$!
tries=0
while :; do
    mask=$(sed -n 's/^SigCgt:[[:space:]]*//p' "/proc/$pid/status" 2>/dev/null || true)
    [ -n "$mask" ] || fail "palomix ended at its start: $(cat "$tmp/palomix.log")"
    [ $((0x$mask & 0x4000)) -eq 0 ] || break # SIGTERM (15) is caught
    tries=$((tries + 1))
    [ $tries -lt 200 ] || fail "palomix did not come up: $(cat "$tmp/palomix.log")"
    sleep 0.05
done
kill -TERM "$pid"
tries=0
while kill -0 "$pid" 2>/dev/null; do
    tries=$((tries + 1))
    [ $tries -lt 200 ] || fail "palomix did not end after the terminate signal"
    sleep 0.05
done
wait "$pid" || fail "palomix ended with status $?"
pid=
[ "$(find "$state" -newermt 2001-01-01)" ] || fail "palomix did not save its state: $(cat "$tmp/palomix.log")"

(as_user "$program/$(basename "$driver")" check "$home/Filme") || fail "the next start"
echo "an installed copy kept the user's state and converted into the videos folder"
