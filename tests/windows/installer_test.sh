#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The Windows installer: made by cpack (zlib, quicker than the release's
# lzma, the same files), installed silently into a folder of the Wine
# prefix, its programs run from there with nothing on WINEPATH (so that a
# DLL left out stops them), its Start menu entry found, and the uninstaller
# run: the programs and the entry must be gone after it. The programs' kind
# (quill.exe of the windowing subsystem, quill-cli.exe a console program),
# icon and version resource are read from the installed files.
#   installer_test.sh WINE_RUN BUILD_DIR VERSION FROMCONSOLE_EXE
set -euo pipefail
wine_run=$1 build=$2 version=$3 fromconsole=$4
: "${WINEPREFIX:?the Wine prefix of the Windows build}"
: "${QUILL_OBJDUMP:?the objdump of MinGW}" "${QUILL_WINDRES:?the windres of MinGW}"
# No debugger on a crash; and Wine makes no menu entries on the host for
# the Start menu's.
export WINEDLLOVERRIDES='mscoree,mshtml=;winedbg.exe=d;winemenubuilder.exe=d'
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

scratch=$build/tests/windows/installer
rm -rf "$scratch"
mkdir -p "$scratch"
cpack -G NSIS -D CPACK_NSIS_COMPRESSOR=zlib --config "$build/CPackConfig.cmake" -B "$scratch" \
    >"$scratch/cpack.log" 2>&1 || fail "cpack -G NSIS: $(tail -n 20 "$scratch/cpack.log")"
installer=$scratch/Quill-$version-win64.exe
[ -f "$installer" ] || fail "no $(basename "$installer"); made: $(ls "$scratch")"
nsi=$(echo "$scratch"/_CPack_Packages/*/NSIS/project.nsi)
grep -q '^ *!insertmacro MUI_PAGE_LICENSE ".*/LICENSE"' "$nsi" || fail "the installer shows no licence"
for icon in MUI_ICON MUI_UNICON; do
    grep -q "^ *!define $icon \".*/quill.ico\"" "$nsi" || fail "the installer has no $icon quill.ico"
done

# A folder of the prefix's own, away from Program Files, made afresh.
folder='C:\quill-installer-test\Quill'
installed=$WINEPREFIX/drive_c/quill-installer-test/Quill
# A run that failed halfway leaves its Start menu entry behind.
rm -rf "$WINEPREFIX/drive_c/quill-installer-test"
find "$WINEPREFIX/drive_c" -path '*/Start Menu/Programs/Quill' -prune -exec rm -rf {} +
"$wine_run" "$installer" /S "/D=$folder" || fail "the installer ended with $?"
[ -f "$installed/quill.exe" ] || fail "no quill.exe in $folder: $(ls "$installed" 2>&1)"
[ -f "$installed/Uninstall.exe" ] || fail "no Uninstall.exe in $folder"

# plain RUN...: an installed program as a user starts it; Wine names a DLL it cannot find.
plain() { WINEPATH='' WINEDEBUG=-all,err+module wine "$@"; }
for program in quill-cli quill; do
    said=$(plain "$installed/$program.exe" --version 2>"$scratch/$program.err") ||
        fail "the installed $program.exe --version failed: $(cat "$scratch/$program.err")"
    said=${said%$'\r'} # the console's line end
    [ "${said##* }" = "$version" ] || fail "the installed $program.exe --version said '$said'"
done
# The kind of program, its icon and its version resource.
for kind in quill:GUI quill-cli:CUI; do
    exe=$installed/${kind%:*}.exe
    subsystem=$("$QUILL_OBJDUMP" -p "$exe" | grep '^Subsystem')
    [[ $subsystem == *"(Windows ${kind#*:})" ]] ||
        fail "${kind%:*}.exe is not a Windows ${kind#*:} program: $subsystem"
    resources=$("$QUILL_WINDRES" -i "$exe" -O rc 2>&1) || fail "windres cannot read ${kind%:*}.exe: $resources"
    for want in 'RT_GROUP_ICON' 'VALUE "ProductName", "Quill"' "VALUE \"ProductVersion\", \"$version\""; do
        grep -qF "$want" <<<"$resources" || fail "${kind%:*}.exe has no $want in its resources"
    done
done
# quill.exe started from a console, which gives it no standard handles:
# what it prints must reach that console. Wine makes the console of a terminal.
console=$(printf '%q ' env WINEPATH= WINEDEBUG=-all wine "$fromconsole" "$installed/quill.exe" --version)
status=0
script -qec "$console >'$scratch/console.out' 2>'$scratch/console.err'" /dev/null >/dev/null ||
    status=$?
if [ "$status" != 0 ] || ! grep -q "^quill $version" "$scratch/console.out"; then
    fail "quill.exe --version from a console (exit status $status) printed into it:" \
        "'$(cat "$scratch/console.out" "$scratch/console.err")'"
fi
# The window's platform plugin, as Qt finds it: asked for one there is not,
# Qt lists those it has, in a warning that must reach a redirected stderr.
WINEQT_QPA_PLATFORM=none plain "$installed/quill.exe" >/dev/null 2>"$scratch/platforms.err" || true
grep -q '^Available platform plugins are: .*\bwindows\b' "$scratch/platforms.err" ||
    fail "the installed quill.exe has no windows platform plugin, or its warning missed the" \
        "redirected stderr: '$(cat "$scratch/platforms.err")'"
# The history's SQLite driver, as quill-cli loads it.
plain "$installed/quill-cli.exe" --history --history-url 'C:\quill-installer-test\h.sqlite' \
    >/dev/null 2>"$scratch/history.err" ||
    fail "the installed quill-cli.exe cannot read an SQLite history: $(cat "$scratch/history.err")"
for plugin in sqldrivers/qsqlpsql.dll styles/qwindowsvistastyle.dll; do
    [ -f "$installed/$plugin" ] || fail "no $plugin in $folder"
done

shortcut=$(find "$WINEPREFIX/drive_c" -path '*/Start Menu/Programs/Quill/Quill.lnk' | head -n1)
[ -n "$shortcut" ] || fail "no Start menu entry Quill\\Quill.lnk"
# The entry in Windows' list of programs, from which it is uninstalled.
apps='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Quill'
plain reg query "$apps" >/dev/null 2>&1 || fail "no $apps"

# The uninstaller copies itself away and returns at once; its copy removes.
plain "$installed/Uninstall.exe" /S || fail "the uninstaller ended with $?"
for _ in $(seq 300); do
    [ -e "$installed/quill.exe" ] || [ -e "$installed/quill-cli.exe" ] || [ -e "$shortcut" ] ||
        break
    sleep 0.1
done
for gone in "$installed/quill.exe" "$installed/quill-cli.exe" "$installed/Qt6Core.dll" "$shortcut"; do
    [ ! -e "$gone" ] || fail "the uninstaller left $gone"
done
! plain reg query "$apps" >/dev/null 2>&1 || fail "the uninstaller left $apps"
echo "Quill-$version-win64.exe installs, runs from its folder alone and uninstalls (${SECONDS} s)"
