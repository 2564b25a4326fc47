#!/bin/sh
# Runs the cases of the real palomix program on a virtual X display of their own, so that the
# window that takes the hand-over is a real X11 window. Exits 77 (skipped) without Xvfb.
#   real_program_xvfb_test.sh APP_TESTS
set -u
QT_QPA_PLATFORM=xcb exec sh "$(dirname "$0")/../support/with_xvfb.sh" \
    "$1" --gtest_filter='RealProgramPosixTest.*'
