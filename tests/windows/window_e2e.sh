#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The main window of the Windows build under Wine, drawn on an X display of
# its own (Xvfb) with Qt's windows platform: test_windowdownload.exe picks
# the sample firmware, COM1 bound to COM5 (a pseudo-terminal of the Linux
# quill-devsim) at 9600 baud, presses Start Download and waits for
# "Download complete"; the device must then hold exactly the image that
# the Linux quill-cli delivers from the same file. With QUILL_SCREENSHOT
# set (a PNG's path), the window is saved there at "Download complete".
#   window_e2e.sh WINE_RUN TEST_EXE HOST_BUILD SCRATCH
set -euo pipefail
source "$(dirname "$0")/e2e_common.sh" "$@"
test_exe=$exe
# The window shows its path, in a folder named in letters outside the
# code page: the Open dialog's choice reaches the file and the history whole.
mkdir Прошивка
cp "$host/samples/firmware.hex" Прошивка/firmware.hex
firmware=$scratch/Прошивка/firmware.hex
# Wine keeps a session of the prefix (its desktop bound to one display) a
# few seconds after the last program: it must end before the display goes,
# and before a program of ours starts, or its windows cannot be made.
end_wine_session() {
    timeout 30 wineserver -w 2>/dev/null || wineserver -k 2>/dev/null || true
}
cleanup() {
    end_wine_session
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -f "$WINEPREFIX/dosdevices/com5"
}
trap cleanup EXIT

# A display of our own, its number chosen by Xvfb among the free ones. No
# display, no test.
command -v Xvfb >/dev/null || fail "Xvfb is not installed (apt-get install xvfb)"
Xvfb -displayfd 3 -screen 0 1280x900x24 -nolisten tcp 3>display.txt 2>xvfb.log &
pids+=($!)
for _ in $(seq 100); do
    [ -s display.txt ] && break
    sleep 0.1
done
display=$(head -n1 display.txt)
[ -n "$display" ] || fail "Xvfb did not start: $(cat xvfb.log)"

# The reference: Linux quill-cli on a pseudo-terminal.
reference_image "$firmware"

# The window's device on COM5. Wine hands WINEQT_X to the program as QT_X.
"$devsim" --exit-after-download --image com5.bin --link tty-com5 >/dev/null &
pids+=($!)
wait_for -e tty-com5
ln -sfn "$(readlink -f tty-com5)" "$WINEPREFIX/dosdevices/com5"
shot=
if [ -n "${QUILL_SCREENSHOT:-}" ]; then
    shot=$(WINEDEBUG=-all winepath -w "$QUILL_SCREENSHOT")
fi
win_firmware=$(LC_ALL=C.UTF-8 WINEDEBUG=-all winepath -w "$firmware")
win_scratch=$(WINEDEBUG=-all winepath -w "$scratch")
end_wine_session
# A window that cannot be made leaves its dialog waiting: bounded here.
test_rc=0
DISPLAY=":$display" WINEQT_QPA_PLATFORM=windows QUILL_SCREENSHOT="$shot" LC_ALL=C.UTF-8 \
    QUILL_FIRMWARE="$win_firmware" QUILL_SCRATCH="$win_scratch" \
    timeout 100 "$wine_run" "$test_exe" >window.out 2>&1 || test_rc=$?
cat window.out
[ "$test_rc" = 0 ] || fail "the window test ended with $test_rc"
wait "${pids[-1]}" || true
cmp linux.bin com5.bin || fail "the device on COM5 holds another image than the Linux run left"
echo "The window's download on COM5 equals the Linux run's"
