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
    ser2net
    # Live events: the MQTT client library; a broker and its clients for
    # the tests, which start brokers of their own; the schema's validator.
    libmosquitto-dev mosquitto mosquitto-clients python3-jsonschema
    # The history: Qt SQL's drivers, and a PostgreSQL server for its tests,
    # which start clusters of their own in scratch folders.
    libqt6sql6-sqlite libqt6sql6-psql postgresql
    # The History window's Yield tab draws with Qt Charts, whose CMake
    # package needs Qt's OpenGL one (not a dependency of the Debian package).
    qt6-charts-dev libqt6opengl6-dev
    # The firmware's SHA-256 (libssl3 itself comes with libpq).
    libssl-dev
    # The Windows build (./test --preset windows): MinGW-w64, Wine to run
    # its tests, NSIS for its installer.
    g++-mingw-w64-x86-64-posix wine wine64 nsis
)

# ser2net and mosquitto serve the tests alone: each test starts its own,
# with its own configuration on a free localhost port. Each package would
# start its service at once and at every boot: ser2net's /etc/ser2net.yaml
# serves the machine's first serial ports on localhost ports 2000 to 3001,
# mosquitto is a broker on localhost port 1883 for anyone on the machine.
# So, when the install brings either, no service may start during the
# install, unless the machine has a policy of its own on that, and
# afterwards the service is disabled and stopped.
quill_policy=/usr/sbin/policy-rc.d

quill_hold_services() {
    [ -e "$quill_policy" ] && return 1
    printf '#!/bin/sh\n# Left by Quill'"'"'s scripts/deps.sh during an install; remove it if it stays.\nexit 101\n' |
        "$@" tee "$quill_policy" >/dev/null && "$@" chmod 755 "$quill_policy"
}

# quill_quiet_service NAME [sudo]
quill_quiet_service() {
    local name=$1
    shift
    "$@" deb-systemd-helper disable "$name.service" >/dev/null 2>&1 || true
    "$@" update-rc.d "$name" disable >/dev/null 2>&1 || true
    if [ -d /run/systemd/system ]; then
        "$@" systemctl stop "$name.service" >/dev/null 2>&1 || true
    elif [ -x "/etc/init.d/$name" ]; then
        "$@" "/etc/init.d/$name" stop >/dev/null 2>&1 || true
    fi
}

# Debian's server package makes a cluster "main" on its first install and
# starts it. The tests need none, and a developer's machine should not
# gain a database server that runs for nobody: for the time of our install
# only, PostgreSQL is told not to make it (createcluster.conf reads the
# folder createcluster.d).
quill_no_main_cluster=/etc/postgresql-common/createcluster.d/quill-no-main-cluster.conf

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
    local told=() status=0 folder
    folder=$(dirname "$quill_no_main_cluster")
    if [[ " ${missing[*]} " == *" postgresql "* && ! -e $quill_no_main_cluster ]]; then
        told=("$quill_no_main_cluster")
        [ -d "$folder" ] || told+=("$folder")
        "${sudo[@]}" mkdir -p "$folder"
        echo "create_main_cluster = false" | "${sudo[@]}" tee "$quill_no_main_cluster" >/dev/null
    fi
    "${sudo[@]}" apt-get update -qq
    local services=() held=0
    for p in ser2net mosquitto; do
        [[ " ${missing[*]} " == *" $p "* ]] && services+=("$p")
    done
    [ ${#services[@]} -gt 0 ] && quill_hold_services "${sudo[@]}" && held=1
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends \
        "${missing[@]}" || status=$?
    [ $held -eq 1 ] && "${sudo[@]}" rm -f "$quill_policy"
    for p in "${services[@]}"; do
        quill_quiet_service "$p" "${sudo[@]}"
    done
    # What we added, and only that, goes again: the file, then the folder.
    for p in "${told[@]}"; do
        "${sudo[@]}" rm -d "$p"
    done
    return $status
}
