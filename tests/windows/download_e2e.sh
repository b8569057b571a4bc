#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# quill-cli.exe under Wine against the Linux quill-devsim, on a
# pseudo-terminal that the Wine prefix names COM5 and over rfc2217:// to
# quill-devsim --listen: each device must receive exactly the image that the
# Linux quill-cli delivers from the same file, with the same exit code; the
# history in SQLite is written and listed, also in a folder named with ü and
# Cyrillic letters; Ctrl+C ends a download with 130;
# and --json, --list-ports, a missing port and a broker over TLS say what
# they should.
#   download_e2e.sh WINE_RUN QUILL_CLI_EXE HOST_BUILD SCRATCH
set -euo pipefail
source "$(dirname "$0")/e2e_common.sh" "$@"
cli_exe=$exe
# The user's application data folder (%APPDATA%), where the journal lives,
# as the registry names it: FOLDER, or back to Windows' own.
app_data() {
    LC_ALL=C.UTF-8 "$wine_run" reg add \
        'HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\User Shell Folders' \
        /v AppData /t REG_EXPAND_SZ /d "${1:-%USERPROFILE%\AppData\Roaming}" /f >/dev/null 2>&1
}
# The folders of the journal that some program left behind: each program
# takes its own with it as it ends, and the next takes over a dead one's.
journal_left() {
    find "$WINEPREFIX/drive_c/users" -path '*/quill/journal/*/*' 2>/dev/null
}
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    rm -f "$WINEPREFIX/dosdevices/com5"
    app_data || true
}
trap cleanup EXIT
# The devices answer at 9600 baud with mark parity checked (the default).
device_opts=(--exit-after-download)

# The reference: Linux quill-cli on a pseudo-terminal.
reference_image "$firmware"
linux_rc=0

# The file as a Windows program names it (Z:\...): a leading / is an option there.
win_firmware=$(WINEDEBUG=-all winepath -w "$firmware")

# COM5: the same pseudo-terminal device, seen from Wine, five times over:
# quill-cli.exe once died in Qt6Core.dll as it ended, after a whole
# download, in some runs only. Each run records into an SQLite history named
# by a Windows path (Z:\...), which --history --json then lists.
win_history=$(WINEDEBUG=-all winepath -w "$scratch")'\history.sqlite'
journal_left >journal-before.txt
for run in 1 2 3 4 5; do
    rm -f tty-com5 com5.bin
    "$devsim" "${device_opts[@]}" --image com5.bin --log com5.log --link tty-com5 >/dev/null &
    pids+=($!)
    wait_for -e tty-com5
    ln -sfn "$(readlink -f tty-com5)" "$WINEPREFIX/dosdevices/com5"
    win_rc=0
    "$wine_run" "$cli_exe" -p COM5 -b 9600 -y -q --json --history-url "$win_history" \
        "$win_firmware" >com5.json 2>com5.err || win_rc=$?
    [ "$win_rc" = "$linux_rc" ] || fail "quill-cli.exe on COM5 (run $run) ended with $win_rc: $(cat com5.err)"
    wait "${pids[-1]}" || true
    cmp linux.bin com5.bin || fail "the device on COM5 (run $run) holds another image than the Linux run left"
    grep -q '"outcome"' com5.json || fail "--json printed no outcome: $(cat com5.json)"
done
"$wine_run" "$cli_exe" --history --json --history-url "$win_history" >history.json 2>history.err ||
    fail "--history failed: $(cat history.err)"
[ "$(grep -c '"outcome": "complete"' history.json)" = 5 ] ||
    fail "the history does not list the five downloads: $(cat history.json)"
grep -q '"port": "COM5"' history.json || fail "the history does not name COM5: $(cat history.json)"
journal_left >journal-after.txt
[ -z "$(comm -13 <(sort journal-before.txt) <(sort journal-after.txt))" ] ||
    fail "the journal keeps folders of programs that ended: $(cat journal-after.txt)"

# A folder named with letters outside any one code page: the firmware and
# the history in it, named on the command line (UTF-16 to Windows, whose
# argv would hold '?' for the Cyrillic letters); the journal, too, in an
# application data folder so named (a user's name can be).
folder="$scratch/Prüfung Прошивка"
rm -rf "$WINEPREFIX"/drive_c/users/*/"Прошивка AppData" # this test's own
app_data '%USERPROFILE%\Прошивка AppData' || fail "the registry did not take the new AppData"
mkdir -p "$folder"
cp "$firmware" "$folder/fw.hex"
win_folder=$(LC_ALL=C.UTF-8 WINEDEBUG=-all winepath -w "$folder")
rm -f tty-com5 com5.bin
"$devsim" "${device_opts[@]}" --image com5.bin --link tty-com5 >/dev/null &
pids+=($!)
wait_for -e tty-com5
ln -sfn "$(readlink -f tty-com5)" "$WINEPREFIX/dosdevices/com5"
named_rc=0
LC_ALL=C.UTF-8 "$wine_run" "$cli_exe" -p COM5 -b 9600 -y -q --history-url "$win_folder\history.sqlite" \
    "$win_folder\fw.hex" 2>named.err || named_rc=$?
[ "$named_rc" = 0 ] || fail "the firmware in $folder ended with $named_rc: $(cat named.err)"
wait "${pids[-1]}" || true
cmp linux.bin com5.bin || fail "the device got another image from $folder"
[ -s "$folder/history.sqlite" ] || fail "no history.sqlite in $folder: $(ls -A "$scratch")"
LC_ALL=C.UTF-8 "$wine_run" "$cli_exe" --history --json --history-url "$win_folder\history.sqlite" \
    >named.json 2>named.err || fail "--history in $folder failed: $(cat named.err)"
grep -q 'Prüfung Прошивка\\\\fw.hex' named.json || fail "the history names another file: $(cat named.json)"
app_data || fail "the registry did not take back the AppData"
named_journal=$(find "$WINEPREFIX/drive_c/users" -type d -path '*/Прошивка AppData/quill/journal')
[ -n "$named_journal" ] || fail "no journal in the AppData named in Cyrillic"
[ -z "$(find "$named_journal" -mindepth 2)" ] ||
    fail "the journal there was not used: $(find "$named_journal" -mindepth 2)"

# rfc2217://: quill-devsim serves the device on a free port. It stays up
# after the download (its image is written at the end of the file): the
# client, not the server, ends the connection.
"$devsim" --image net.bin --log net.log --listen 127.0.0.1:0 >net.url &
pids+=($!)
wait_for -s net.url
net_rc=0
"$wine_run" "$cli_exe" -p "$(head -n1 net.url)" -b 9600 -y -q "$win_firmware" 2>net.err || net_rc=$?
[ "$net_rc" = 0 ] || fail "quill-cli.exe over $(head -n1 net.url) ended with $net_rc: $(cat net.err)"
kill "${pids[-1]}"
wait "${pids[-1]}" || true
cmp linux.bin net.bin || fail "the device on the network holds another image than the Linux run left"

# Ctrl+C: Wine hands a SIGINT of its process to the program as the console's
# CTRL_C_EVENT, as when Ctrl+C is pressed in the terminal it runs in. The
# download ends with 130, and the device hears at most the record that was
# on its way.
rm -f tty-com5
"$devsim" --record-ack-ms 200 --image slow.bin --log slow.log --link tty-com5 >/dev/null &
pids+=($!)
slow_device=${pids[-1]}
wait_for -e tty-com5
ln -sfn "$(readlink -f tty-com5)" "$WINEPREFIX/dosdevices/com5"
"$wine_run" "$cli_exe" -p COM5 -b 9600 -y -q "$win_firmware" 2>slow.err &
pids+=($!)
records() { grep -c 'host> :10' slow.log || true; }
for _ in $(seq 200); do
    [ "$(records)" -ge 3 ] && break
    sleep 0.1
done
[ "$(records)" -ge 3 ] || fail "the slow device heard no records: $(cat slow.err)"
kill -INT "${pids[-1]}"
heard=$(records)
ctrl_c_rc=0
wait "${pids[-1]}" || ctrl_c_rc=$?
[ "$ctrl_c_rc" = 130 ] || fail "Ctrl+C ended quill-cli.exe with $ctrl_c_rc: $(cat slow.err)"
grep -q 'Download interrupted' slow.err || fail "Ctrl+C was not said: $(cat slow.err)"
sleep 0.5
[ "$(records)" -le $((heard + 1)) ] ||
    fail "the device heard $(($(records) - heard)) records after Ctrl+C: $(cat slow.log)"
kill "$slow_device"
wait "$slow_device" || true

# A port that is not there: the port's exit code (5) and a message naming it.
missing_rc=0
"$wine_run" "$cli_exe" -p COM9 -b 9600 -y -q "$win_firmware" 2>missing.err || missing_rc=$?
[ "$missing_rc" = 5 ] || fail "a missing COM9 ended with $missing_rc: $(cat missing.err)"
grep -q 'COM9' missing.err || fail "the message does not name COM9: $(cat missing.err)"

# No TLS in this build: mqtts:// is refused before anything starts (12).
tls_rc=0
"$wine_run" "$cli_exe" -p COM9 -b 9600 -y -q --events mqtts://127.0.0.1/quill "$win_firmware" \
    2>tls.err || tls_rc=$?
[ "$tls_rc" = 12 ] || fail "mqtts:// ended with $tls_rc: $(cat tls.err)"
grep -q 'no TLS' tls.err || fail "mqtts:// was not refused for want of TLS: $(cat tls.err)"

# The help names the files where Windows keeps them, not the XDG folders.
"$wine_run" "$cli_exe" --help >help.txt || fail "--help failed"
grep -q '%APPDATA%\\quill\\history.sqlite' help.txt || fail "--help does not name %APPDATA%: $(cat help.txt)"
grep -q '%APPDATA%\\postgresql\\pgpass.conf' help.txt || fail "--help names no pgpass.conf: $(cat help.txt)"
! grep -q 'XDG\|~/' help.txt || fail "--help names a Unix folder: $(grep 'XDG\|~/' help.txt)"

# The port list names the COM ports.
"$wine_run" "$cli_exe" --list-ports >ports.txt || fail "--list-ports failed"
grep -q '^COM1' ports.txt || fail "--list-ports named no COM1: $(cat ports.txt)"
echo "quill-cli.exe: the images on COM5 and over rfc2217:// equal the Linux run's"
