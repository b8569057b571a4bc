#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Draws the main window of the Windows build at "Download complete" into
# doc/windows.png: the window test under Wine on Xvfb with Qt's windows
# platform (tests/windows/window_e2e.sh), a download of the sample firmware
# to quill-devsim on COM5, saved with its box as the download ends.
#   scripts/windows-screenshot.sh
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset dev >/dev/null
cmake --build build/dev --target quill-devsim quill-cli quill_sample_firmware
cmake --preset windows >/dev/null
cmake --build build/windows --target test_windowdownload
shot=$PWD/doc/windows.png
scratch=$(mktemp -d "${TMPDIR:-/tmp}/quill-winshot.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
# The program's settings, state and history stay in the scratch folder.
HOME="$scratch" XDG_CONFIG_HOME="$scratch/config" XDG_STATE_HOME="$scratch/state" \
    XDG_DATA_HOME="$scratch/data" XDG_CACHE_HOME="$scratch/cache" WINEPREFIX="$PWD/build/windows/wineprefix" \
    QUILL_WINDOWS_QT="$PWD/build/windows/qt-mingw" QUILL_SCREENSHOT="$shot" \
    tests/windows/window_e2e.sh "$PWD/scripts/wine-run.sh" \
    "$PWD/build/windows/test_windowdownload.exe" "$PWD/build/dev" "$scratch/run"
echo "Saved $shot"
