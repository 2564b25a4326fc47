#!/bin/sh
# Runs the window-manager cases of the window tests on a virtual X display of their own with
# the openbox window manager. Exits 77 (skipped) when either is missing.
#   window_manager_test.sh APP_TESTS
set -u
app_tests=$1
for tool in Xvfb openbox; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "$tool is not installed (apt-get install xvfb openbox)"
        exit 77
    fi
done

inner=$(mktemp)
trap 'rm -f "$inner"' EXIT
cat >"$inner" <<'INNER'
openbox >/dev/null 2>&1 &
wm=$!
# The window manager announces itself on the root window; wait for it (5 s at most).
tries=0
while [ $tries -lt 50 ]; do
    if command -v xprop >/dev/null 2>&1; then
        xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" && break
    elif [ $tries -ge 10 ]; then
        break
    fi
    tries=$((tries + 1))
    sleep 0.1
done
QT_QPA_PLATFORM=xcb PALOMIX_WINDOW_MANAGER=openbox "$1" --gtest_filter='WindowManagerTest.*'
status=$?
kill $wm 2>/dev/null
wait $wm 2>/dev/null
exit $status
INNER
sh "$(dirname "$0")/../support/with_xvfb.sh" sh "$inner" "$app_tests"
