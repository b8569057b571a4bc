#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Draws the station window after a round on four simulated devices, one of
# which never answers the erase request, and the retry of that port, into
# doc/station.png: the window test of those rounds runs under Xvfb on the
# X11 platform, as a desktop would show it, and saves the window when the
# retry has ended.
#   scripts/station-screenshot.sh [BUILD_DIR]     (build/dev by default)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/dev}
shot=$PWD/doc/station.png
cmake --build "$build" --target test_ui quill-cli quill-devsim

# A display of our own: the first free number from 90.
display=90
while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do
    display=$((display + 1))
done
Xvfb ":$display" -screen 0 1280x900x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
trap 'kill "$xvfb_pid" 2>/dev/null || true; wait "$xvfb_pid" 2>/dev/null || true' EXIT
for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.05; done

# The test's settings, state and history stay in its own scratch folders.
scratch=$(mktemp -d "${TMPDIR:-/tmp}/quill-shot.XXXXXX")
trap 'kill "$xvfb_pid" 2>/dev/null || true; wait "$xvfb_pid" 2>/dev/null || true; rm -rf "$scratch"' EXIT
mkdir -p "$(dirname "$shot")"
DISPLAY=":$display" QT_QPA_PLATFORM=xcb HOME="$scratch" XDG_CONFIG_HOME="$scratch/config" \
    XDG_STATE_HOME="$scratch/state" XDG_DATA_HOME="$scratch/data" QUILL_SCREENSHOT="$shot" \
    "$build/tests/ui/test_ui" --gtest_filter='StationWindow.ADeviceThatNeverAnswers*'
echo "Saved $shot"
