#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# quill-cli.exe under Wine with a real PostgreSQL history and a real
# mosquitto broker, both on 127.0.0.1 and started here: a download to COM5
# (a pseudo-terminal of the Linux quill-devsim) leaves its row in the
# database, which the Linux quill-cli lists, and its events at the broker,
# which mosquitto_sub hears. A URL that asks PostgreSQL for TLS, which this
# build lacks, is refused before any port or server is touched.
#   servers_e2e.sh WINE_RUN QUILL_CLI_EXE HOST_BUILD SCRATCH
set -euo pipefail
pg_bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n1)
source "$(dirname "$0")/e2e_common.sh" "$@" "$pg_bin/initdb" /usr/sbin/mosquitto /usr/bin/mosquitto_sub
cli_exe=$exe
# The cluster lives where the server's own user can reach it.
pg_data=$(mktemp -d /tmp/quill-winpg-XXXXXX)
cleanup() {
    for pid in "${pids[@]}"; do kill -INT "$pid" 2>/dev/null || true; done
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
    rm -f "$WINEPREFIX/dosdevices/com5"
    rm -rf "$pg_data"
}
trap cleanup EXIT

# A port no one listens on, from the unprivileged range.
free_port() {
    local port
    while :; do
        port=$((20000 + RANDOM % 20000))
        ss -Htln "sport = :$port" | grep -q . || break
    done
    echo "$port"
}
# wait_until SECONDS COMMAND...: until it succeeds.
wait_until() {
    local tries=$(($1 * 10))
    shift
    for _ in $(seq "$tries"); do
        "$@" >/dev/null 2>&1 && return 0
        sleep 0.1
    done
    return 1
}

# PostgreSQL, as its own user under root, on 127.0.0.1 only.
as_pg=()
if [ "$(id -u)" = 0 ]; then
    chown postgres: "$pg_data"
    as_pg=(setpriv --reuid=postgres --regid=postgres --init-groups --)
fi
"${as_pg[@]}" "$pg_bin/initdb" -U quill -E UTF8 --no-locale --no-sync --auth=trust \
    -D "$pg_data/data" >initdb.log 2>&1 || fail "initdb failed: $(cat initdb.log)"
pg_port=$(free_port)
"${as_pg[@]}" "$pg_bin/postgres" -D "$pg_data/data" -k "$pg_data" -p "$pg_port" \
    -c listen_addresses=127.0.0.1 -c fsync=off -c log_connections=on >postgres.log 2>&1 &
pids+=($!)
wait_until 30 "$pg_bin/pg_isready" -q -h 127.0.0.1 -p "$pg_port" ||
    fail "PostgreSQL did not start: $(cat postgres.log)"
history_url="postgresql://quill@127.0.0.1:$pg_port/postgres"

# mosquitto, anyone may publish; mosquitto_sub hears every topic below quill/.
mqtt_port=$(free_port)
printf 'listener %s 127.0.0.1\npersistence false\nuser root\nallow_anonymous true\n' \
    "$mqtt_port" >mosquitto.conf
/usr/sbin/mosquitto -c mosquitto.conf >mosquitto.log 2>&1 &
pids+=($!)
wait_until 10 bash -c "ss -Htln 'sport = :$mqtt_port' | grep -q ." ||
    fail "mosquitto did not start: $(cat mosquitto.log)"
stdbuf -oL mosquitto_sub -d -v -q 1 -h 127.0.0.1 -p "$mqtt_port" -t 'quill/#' >mqtt.txt 2>&1 &
pids+=($!)
wait_until 10 grep -q 'received SUBACK' mqtt.txt || fail "mosquitto_sub did not subscribe: $(cat mqtt.txt)"

win_firmware=$(WINEDEBUG=-all winepath -w "$firmware")

# The downloads on COM5, recorded in PostgreSQL, told to the broker; three
# of them: quill-cli.exe died in most runs as it ended, once its history's
# thread had read the server's version.
for run in 1 2 3; do
    rm -f tty-com5 com5.bin
    "$devsim" --exit-after-download --image com5.bin --link tty-com5 >/dev/null &
    pids+=($!)
    wait_until 10 test -e tty-com5 || fail "quill-devsim made no terminal"
    ln -sfn "$(readlink -f tty-com5)" "$WINEPREFIX/dosdevices/com5"
    rc=0
    "$wine_run" "$cli_exe" -p COM5 -b 9600 -y -q --history-url "$history_url" \
        --events "mqtt://127.0.0.1:$mqtt_port/quill" "$win_firmware" 2>com5.err || rc=$?
    [ "$rc" = 0 ] || fail "quill-cli.exe (run $run) ended with $rc: $(cat com5.err)"
    ! grep -q 'Unhandled' com5.err || fail "quill-cli.exe (run $run) crashed: $(cat com5.err)"
    wait "${pids[-1]}" || true
    [ -s com5.bin ] || fail "the device on COM5 (run $run) received no image"
done

"$linux_cli" --history --json --history-url "$history_url" >history.json 2>history.err ||
    fail "the Linux quill-cli could not list the history: $(cat history.err)"
[ "$(grep -c '"outcome": "complete"' history.json)" = 3 ] ||
    fail "PostgreSQL does not hold the three downloads: $(cat history.json)"
grep -q '"port": "COM5"' history.json || fail "the rows do not name COM5: $(cat history.json)"

wait_until 5 test "$(grep -c '^quill/run/run_ended ' mqtt.txt)" = 3 ||
    fail "not three run_ended at the broker: $(cat mqtt.txt)"
for topic in quill/run/run_started quill/COM5/device_started quill/COM5/progress \
    quill/COM5/device_ended; do
    grep -q "^$topic {" mqtt.txt || fail "no $topic at the broker: $(cat mqtt.txt)"
done
[ "$(grep '^quill/COM5/device_ended ' mqtt.txt | grep -c '"outcome":"complete"')" = 3 ] ||
    fail "device_ended does not say complete three times: $(cat mqtt.txt)"

# TLS to PostgreSQL: refused at once as a usage error (2), before COM9 (5)
# or the server (a connection in its log) is tried.
connections=$(grep -c 'connection received' postgres.log || true)
for mode in require verify-ca verify-full; do
    rc=0
    "$wine_run" "$cli_exe" -p COM9 -b 9600 -y -q --history-url "$history_url?sslmode=$mode" \
        "$win_firmware" 2>tls.err || rc=$?
    [ "$rc" = 2 ] || fail "sslmode=$mode ended with $rc: $(cat tls.err)"
    grep -q 'no TLS' tls.err || fail "sslmode=$mode was not refused for want of TLS: $(cat tls.err)"
done
[ "$(grep -c 'connection received' postgres.log || true)" = "$connections" ] ||
    fail "a refused URL reached the server: $(cat postgres.log)"
echo "quill-cli.exe: the row in PostgreSQL, the events at mosquitto; TLS to PostgreSQL refused"
