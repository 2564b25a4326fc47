#!/bin/sh
# Runs the cases of the real palomix program on a virtual X display (Xvfb), so that the window
# that takes the hand-over is a real X11 window. Exits 77 (skipped) without xvfb-run.
#   real_program_xvfb_test.sh APP_TESTS
set -u
if ! command -v xvfb-run >/dev/null 2>&1; then
    echo "xvfb-run is not installed (apt-get install xvfb)"
    exit 77
fi
QT_QPA_PLATFORM=xcb exec xvfb-run -a -s "-screen 0 1024x768x24" \
    "$1" --gtest_filter='RealProgramPosixTest.*'
