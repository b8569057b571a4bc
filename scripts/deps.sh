# SPDX-License-Identifier: MIT
# Installs the Debian packages Quill needs that are not installed yet.
# Sourced by ./run and ./test.

quill_packages=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev qt6-serialport-dev libgl-dev
    libgtest-dev libgmock-dev
    xvfb xauth binutils
    libcli11-dev
    clang libclang-rt-14-dev clang-format
    help2man man-db desktop-file-utils appstream dpkg-dev file
    librsvg2-bin clang-tidy
)

quill_install_missing() {
    local missing=() p
    for p in "${quill_packages[@]}" "$@"; do
        if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$p")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo=()
    if [ "$(id -u)" -ne 0 ]; then
        command -v sudo >/dev/null || { echo "Need root or sudo to install: ${missing[*]}" >&2; return 1; }
        sudo=(sudo)
    fi
    echo "Installing: ${missing[*]}"
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
}
