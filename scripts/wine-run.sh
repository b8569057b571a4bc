#!/bin/sh
# SPDX-License-Identifier: MIT
# Runs a program of the Windows build under Wine: the build's CTest emulator
# (CMAKE_CROSSCOMPILING_EMULATOR) and the runner of its tests. The Wine prefix
# is the build folder's own, made once (set to Windows 10, so that Qt sees
# the system it was built for); Qt's and MinGW's DLLs are found through
# WINEPATH, where they lie, nothing copied.
#   QUILL_WINDOWS_QT  the Qt for MinGW (default: the build folder's qt-mingw)
#   WINEPREFIX        the prefix (default: the build folder's wineprefix)
set -eu
build=$(CDPATH= cd -- "$(dirname -- "$0")/.." && pwd)/build/windows
QUILL_WINDOWS_QT=${QUILL_WINDOWS_QT:-$build/qt-mingw}
export WINEPREFIX=${WINEPREFIX:-$build/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
# No debugger on a crash: the program ends, and its test fails at once.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=;winedbg.exe=d}
export WINEPATH="$QUILL_WINDOWS_QT/bin;/usr/lib/gcc/x86_64-w64-mingw32/12-posix;/usr/x86_64-w64-mingw32/lib"
# Wine hands a host variable WINEQT_X to the program as QT_X; without this
# Qt's warnings go to the debugger's channel and are lost.
export WINEQT_FORCE_STDERR_LOGGING=${WINEQT_FORCE_STDERR_LOGGING:-1}

if [ ! -f "$WINEPREFIX/.quill-ready" ]; then
    # One prefix for parallel tests: the first to come makes it.
    mkdir -p "$WINEPREFIX"
    (
        flock 9
        if [ ! -f "$WINEPREFIX/.quill-ready" ]; then
            wineboot -i >/dev/null 2>&1
            wine reg add 'HKCU\Software\Wine' /v Version /t REG_SZ /d win10 /f >/dev/null 2>&1
            wineserver -w
            touch "$WINEPREFIX/.quill-ready"
        fi
    ) 9>"$WINEPREFIX/.lock"
fi

# A session whose last program has ended closes its socket at once, then
# holds the prefix about two seconds more while its services stop. A
# program started in those seconds races the old server's exit and the new
# one's start, and once in CI it ended at once, silent, with exit 1 (a
# test "failed" in 0.01 s). So: join a session that still has its socket,
# and wait out one that is ending. Debian's Wine names the session's folder
# in the prefix's file "wineserver"; Wine's own uses /tmp/.wine-UID.
session_socket() {
    folder=/tmp/.wine-$(id -u)
    [ -r "$WINEPREFIX/wineserver" ] && folder=/tmp/$(cat "$WINEPREFIX/wineserver")
    printf '%s/server-%s-%x/socket' "$folder" "$(stat -c %D "$WINEPREFIX")" \
        "$(stat -c %i "$WINEPREFIX")"
}
[ -S "$(session_socket)" ] || wineserver -w
exec wine "$@"
