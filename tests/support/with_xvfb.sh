#!/bin/sh
# Runs a command on a virtual X display of its own: Xvfb picks a free display number itself
# (-displayfd), so that several of these may start at once without taking the same display, as
# xvfb-run -a may when two start together. Exits 77 (skipped) when Xvfb is missing.
#   with_xvfb.sh COMMAND [ARGUMENT...]
set -u
if ! command -v Xvfb >/dev/null 2>&1; then
    echo "Xvfb is not installed (apt-get install xvfb)"
    exit 77
fi
work=$(mktemp -d)
mkfifo "$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
server=$!
trap 'kill $server 2>/dev/null; wait $server 2>/dev/null; rm -rf "$work"' EXIT
number=""
read -r number <"$work/display"
if [ -z "$number" ]; then
    echo "Xvfb did not start:"
    cat "$work/xvfb.log"
    exit 1
fi
DISPLAY=":$number" "$@"
