# SPDX-License-Identifier: MIT
# What the end-to-end scripts of the Windows build share, sourced by each
# after `set -euo pipefail`: their four arguments, the Linux build's
# simulated device, quill-cli and sample firmware, a fresh scratch folder
# (the working folder from then on), fail, wait_for and the reference image.
#   source e2e_common.sh WINE_RUN EXE HOST_BUILD SCRATCH [ALSO_NEEDED...]
wine_run=$1 exe=$2 host=$3 scratch=$4
shift 4
devsim=$host/tools/devsim/quill-devsim
linux_cli=$host/src/cli/quill-cli
firmware=$host/samples/firmware.hex
fail() {
    echo "FAIL: $*" >&2
    exit 1
}
for need in "$devsim" "$linux_cli" "$firmware" "$@"; do
    [ -e "$need" ] || fail "$need is missing: build the dev preset first (./test does)"
done
: "${WINEPREFIX:?the Wine prefix of the Windows build}"
rm -rf "$scratch"
mkdir -p "$scratch"
cd "$scratch"
pids=()

# wait_for TEST FILE: a device's link (-e) or first line (-s), within ten seconds.
wait_for() {
    for _ in $(seq 100); do
        [ "$1" "$2" ] && return 0
        sleep 0.1
    done
    fail "$2 did not appear"
}

# reference_image FIRMWARE: linux.bin, what a device holds after the Linux
# quill-cli downloaded FIRMWARE to it at 9600 baud on a pseudo-terminal.
reference_image() {
    "$devsim" --exit-after-download --image linux.bin --log linux.log --link tty-linux >/dev/null &
    pids+=($!)
    wait_for -e tty-linux
    "$linux_cli" -p "$scratch/tty-linux" -b 9600 -y -q "$1" || fail "the Linux quill-cli failed"
    wait "${pids[-1]}" || true
    [ -s linux.bin ] || fail "the Linux run left no image"
}
