#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Host turnaround, CPU and system calls per record, and peak memory, of quill-cli over a pseudo-terminal.

quill-devsim answers every record at once and logs the conversation with
microsecond timestamps. The turnaround of a record is the time from the
device's release byte (the XON after its XOFF) to the next record line it
receives. quill-cli, quill-cli writing its trace (--log),
minimal_loop.cpp (the smallest host that does the same exchange) and
qt_loop.cpp (the same exchange in Qt's event loop and nothing else) are
measured in turns, in the same run, on the same file.

The host's CPU time (user + system, from the kernel's accounting of the
finished child) per record is taken over the records phase: a run on a file
of one record gives what starting and ending cost, which is taken off. The
system calls per record come from one run of each host under strace -f -c,
over the whole run.

With --network quill-cli also reaches the device through ser2net on
localhost (rfc2217://127.0.0.1:PORT, ser2net's terminal the device's), in
the same turns; ser2net's own CPU per record is taken the same way.

With --events quill-cli also writes its live events, to a file
(--events FILE) and to a mosquitto broker on localhost started for the
bench (--events mqtt://127.0.0.1:PORT/bench), in the same turns.

    turnaround.py BUILD_DIR [--kib N] [--rounds N] [--memory] [--no-strace] [--network] [--events]
"""

import argparse
import os
import random
import re
import shutil
import socket
import statistics
import subprocess
import sys
import tempfile
import time
from collections import Counter

FAST = ["--erase-ack-ms", "0", "--erase-ms", "0", "--record-ack-ms", "0", "--record-write-ms", "0"]
# A 16-byte data record is 45 characters with CR LF; at 38400 baud with a
# start bit, 8 data bits, a parity bit and a stop bit: 45 * 11 / 38400 s.
RECORD_WIRE_MS = 45 * 11 / 38400 * 1000


def make_hex(workdir, name, binary_size, seed):
    rng = random.Random(seed)
    binary = os.path.join(workdir, name + ".bin")
    hexfile = os.path.join(workdir, name + ".hex")
    with open(binary, "wb") as f:
        f.write(rng.randbytes(binary_size))
    subprocess.run(["objcopy", "-I", "binary", "-O", "ihex", "--change-addresses",
                    "0x08000000", binary, hexfile], check=True)
    return hexfile


def start_devsim(build, log=None):
    args = [os.path.join(build, "tools/devsim/quill-devsim"), *FAST, "--exit-after-download"]
    if log:
        args += ["--log", log]
    devsim = subprocess.Popen(args, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    return devsim, devsim.stdout.readline().strip()


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_listening(port):
    """Whether the kernel has a listener on localhost's port, within 5 s: a
    connection to find out would open the device behind ser2net."""
    entry = f": 0100007F:{port:04X} 00000000:0000 0A"
    for _ in range(500):
        with open("/proc/net/tcp") as table:
            if entry in table.read():
                return True
        time.sleep(0.01)
    return False


def start_broker(workdir):
    """mosquitto on a free localhost port with a configuration of its own, as the tests start it."""
    port = free_port()
    config = os.path.join(workdir, "mosquitto.conf")
    with open(config, "w") as f:
        f.write(f"listener {port} 127.0.0.1\nallow_anonymous true\npersistence false\nuser root\n")
    broker = subprocess.Popen(["/usr/sbin/mosquitto", "-c", config],
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    if not wait_listening(port):
        sys.exit("mosquitto did not start (apt-get install mosquitto)")
    return broker, f"mqtt://127.0.0.1:{port}/bench"


def start_ser2net(pty):
    """ser2net serving the terminal on a free localhost port, as the tests start it."""
    port = free_port()
    config = (f"connection: &bench#  accepter: telnet(rfc2217),tcp(nodelay),127.0.0.1,{port}#"
              f"  connector: serialdev,{pty},9600n81,local#  options:#    kickolduser: true#"
              f"    chardelay: false")
    server = subprocess.Popen(["/usr/sbin/ser2net", "-d", "-u", "-Y", config],
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    if not wait_listening(port):
        sys.exit("ser2net did not start (apt-get install ser2net)")
    return server, f"rfc2217://127.0.0.1:{port}"


def stop_ser2net(server):
    """ser2net's CPU seconds (user + system)."""
    server.terminate()
    _, status, usage = os.wait4(server.pid, 0)
    server.returncode = os.waitstatus_to_exitcode(status)
    return usage.ru_utime + usage.ru_stime


def build_loops(workdir):
    """minimal_loop.cpp and qt_loop.cpp, compiled: the two yardsticks."""
    here = os.path.dirname(os.path.abspath(__file__))
    loop, qt_loop = os.path.join(workdir, "minimal_loop"), os.path.join(workdir, "qt_loop")
    subprocess.run(["c++", "-O2", "-std=c++20", "-o", loop,
                    os.path.join(here, "minimal_loop.cpp")], check=True)
    qt = subprocess.run(["pkg-config", "--cflags", "--libs", "Qt6Core", "Qt6SerialPort"],
                        check=True, capture_output=True, text=True).stdout.split()
    subprocess.run(["c++", "-O2", "-std=c++20", "-fPIC", "-o", qt_loop,
                    os.path.join(here, "qt_loop.cpp"), *qt], check=True)
    return loop, qt_loop


def host_command(build, kind, pty, hexfile, trace=None):
    if kind[0] == "quill-cli":  # then its own options
        cmd = [os.path.join(build, "src/cli/quill-cli"), *kind[1:], "--port", pty, "--baud",
               "38400", "--device", "manual", "--yes", hexfile]
        if trace:
            cmd[1:1] = ["--log", trace]
        return cmd
    program, *options = kind  # a yardstick: its program, then its options
    return [program, pty, hexfile, *options]


def run_host(build, kind, pty, hexfile, env, timed=False, trace=None, prefix=()):
    """The host's standard error and its CPU seconds (user + system)."""
    cmd = [*prefix, *host_command(build, kind, pty, hexfile, trace)]
    if timed:
        cmd = ["/usr/bin/time", "-v", *cmd]
    with tempfile.TemporaryFile(mode="w+") as err:
        child = subprocess.Popen(cmd, env=env, stdout=subprocess.DEVNULL, stderr=err)
        _, status, usage = os.wait4(child.pid, 0)
        child.returncode = os.waitstatus_to_exitcode(status)
        err.seek(0)
        stderr = err.read()
    if child.returncode != 0:
        sys.exit(f"{kind} failed ({child.returncode}):\n{stderr[-2000:]}")
    return stderr, usage.ru_utime + usage.ru_stime


def records_in(hexfile):
    with open(hexfile, "rb") as f:
        return sum(1 for line in f if line.startswith(b":"))


def count_syscalls(build, workdir, kind, hexfile, env, trace=None, network=False):
    """System calls of one whole download, by name, from strace -f -c."""
    out = os.path.join(workdir, "strace.txt")
    devsim, pty = start_devsim(build)
    server, port = start_ser2net(pty) if network else (None, pty)
    run_host(build, kind, port, hexfile, env, trace=trace,
             prefix=("strace", "-f", "-c", "-U", "name,calls", "-o", out))
    devsim.wait(timeout=60)
    if server:
        stop_ser2net(server)
    calls = Counter()
    with open(out) as f:
        for line in f:
            fields = line.split()
            if len(fields) == 2 and fields[1].isdigit() and fields[0] != "total":
                calls[fields[0]] = int(fields[1])
    return calls


def turnarounds(log):
    """Milliseconds from each release byte to the next record line."""
    samples, released = [], None
    with open(log) as f:
        for line in f:
            stamp, _, what = line.rstrip("\n").partition(" ")
            if what.startswith("dev> 11 (XON)"):
                released = float(stamp)
            elif what.startswith("host> :") and released is not None:
                samples.append(float(stamp) - released)
                released = None
    return samples


def summary(samples):
    ordered = sorted(samples)
    pick = lambda q: ordered[min(len(ordered) - 1, int(q * len(ordered)))]
    return {"n": len(ordered), "median": statistics.median(ordered),
            "mean": statistics.fmean(ordered), "p90": pick(0.90), "p99": pick(0.99),
            "max": ordered[-1]}


def measure_turnaround(build, workdir, env, kib, rounds, syscalls, network, events):
    hexfile = make_hex(workdir, "turnaround", kib * 1024, 1)
    # One data record and the end record: what a run costs besides its records.
    onefile = make_hex(workdir, "one", 16, 1)
    records = records_in(hexfile) - records_in(onefile)
    load = os.getloadavg()[0]
    loop, qt_loop = build_loops(workdir)
    trace = os.path.join(workdir, "trace.log")
    # name: (host, its trace file, through ser2net)
    cli = ("quill-cli",)
    hosts = {"quill-cli": (cli, None, False), "quill-cli --log": (cli, trace, False),
             "minimal loop": ((loop,), None, False), "Qt loop": ((qt_loop,), None, False),
             "Qt loop, fd": ((qt_loop, "--notifier"), None, False),
             "Qt loop, fd, Qt": ((qt_loop, "--notifier", "--no-glib"), None, False)}
    if network:
        hosts["quill-cli net"] = (cli, None, True)
    broker = None
    if events:
        broker, url = start_broker(workdir)
        hosts["--events FILE"] = (
            (*cli, "--events", os.path.join(workdir, "events.jsonl")), None, False)
        hosts["--events mqtt"] = ((*cli, "--events", url), None, False)
    results = {name: [] for name in hosts}
    round_medians = {name: [] for name in hosts}
    cpu = {name: [] for name in hosts}  # microseconds per record, one figure a round
    fixed = {name: [] for name in hosts}  # seconds for a run of one record
    server_cpu = []  # ser2net's microseconds per record, one figure a round
    for r in range(rounds):
        for name, (kind, log_file, through) in hosts.items():  # in turns: all see the same machine
            runs = []
            for f, log in ((onefile, None), (hexfile, os.path.join(workdir, f"devsim-{r}.log"))):
                devsim, pty = start_devsim(build, log)
                server, port = start_ser2net(pty) if through else (None, pty)
                _, seconds = run_host(build, kind, port, f, env, trace=log_file)
                devsim.wait(timeout=60)
                runs.append((seconds, stop_ser2net(server) if server else 0.0))
            (one, server_one), (seconds, server_all) = runs
            if through:
                server_cpu.append((server_all - server_one) * 1e6 / records)
            samples = turnarounds(log)
            results[name] += samples
            round_medians[name].append(statistics.median(samples))
            cpu[name].append((seconds - one) * 1e6 / records)
            fixed[name].append(one)
    stats = {name: summary(samples) for name, samples in results.items()}
    cli, small = stats["quill-cli"], stats["minimal loop"]
    print(f"file: {kib} KiB of data, {cli['n'] // rounds} records; {rounds} rounds each; "
          f"load average {load:.1f} at the start, {os.getloadavg()[0]:.1f} at the end, "
          f"{os.cpu_count()} CPUs")
    print(f"{'turnaround (ms)':<16}{'median':>9}{'mean':>9}{'p90':>9}{'p99':>9}{'max':>9}")
    for name, s in stats.items():
        print(f"{name:<16}" + "".join(f"{s[k]:9.3f}" for k in ("median", "mean", "p90", "p99", "max")))
    # Each round's hosts ran back to back: the median of the rounds' ratios
    # is the figure least moved by other work on the machine.
    for name in [n for n in hosts if n.startswith(("quill-cli", "--events"))]:
        s = stats[name]
        paired = statistics.median(a / b for a, b in zip(round_medians[name],
                                                           round_medians["minimal loop"]))
        print(f"ratio {name} / minimal loop: median {s['median'] / small['median']:.2f}, "
              f"mean {s['mean'] / small['mean']:.2f}, median of the rounds' ratios {paired:.2f}")
    # CPU: each round's records phase; the median of the rounds' ratios, as above.
    # The goal is judged against the platform's floor, the Qt loop on a
    # descriptor; the minimal loop's ratio is kept beside it.
    base = statistics.median(cpu["minimal loop"])
    floor = statistics.median(cpu["Qt loop, fd"])
    print(f"{'CPU':<16}{'us/record':>10}{'ratio':>7}{'rounds ratio':>13}{'/ Qt loop, fd':>14}"
          f"{'rounds':>8}{'one-record run (ms)':>21}")
    for name in hosts:
        paired = statistics.median(a / b for a, b in zip(cpu[name], cpu["minimal loop"]))
        paired_floor = statistics.median(a / b for a, b in zip(cpu[name], cpu["Qt loop, fd"]))
        mine = statistics.median(cpu[name])
        print(f"{name:<16}{mine:10.1f}{mine / base:7.2f}{paired:13.2f}{mine / floor:14.2f}"
              f"{paired_floor:8.2f}{1000 * statistics.median(fixed[name]):21.1f}")
    # The events beside quill-cli alone, round by round: their own cost.
    for name in [n for n in hosts if n.startswith("--events")]:
        paired = statistics.median(a / b for a, b in zip(cpu[name], cpu["quill-cli"]))
        print(f"{name} / quill-cli, CPU per record, median of the rounds' ratios: {paired:.3f}")
    if server_cpu:
        print(f"{'ser2net':<16}{statistics.median(server_cpu):10.1f}  (its own, beside quill-cli's)")
    if syscalls:
        counted = {name: count_syscalls(build, workdir, kind, hexfile, env, log_file, through)
                   for name, (kind, log_file, through) in hosts.items()}
        n = records_in(hexfile)
        print(f"system calls per record over a whole run ({n} records), strace -f -c:")
        names = sorted({c for calls in counted.values() for c, k in calls.items() if k / n >= 0.05},
                       key=lambda c: -counted["quill-cli"][c])
        print(f"{'':<16}{'all':>7}" + "".join(f"{c:>11}" for c in names))
        for name, calls in counted.items():
            print(f"{name:<16}{sum(calls.values()) / n:7.2f}" +
                  "".join(f"{calls[c] / n:11.2f}" for c in names))
    if broker:
        broker.terminate()
        broker.wait()
    if os.path.exists(trace):
        print(f"trace file of the last round: {os.path.getsize(trace) / 1e6:.1f} MB")
    print(f"a 16-byte record on the wire at 38400 baud: {RECORD_WIRE_MS:.1f} ms; quill-cli's "
          f"median turnaround is {100 * cli['median'] / RECORD_WIRE_MS:.2f} % of it, "
          f"p99 {100 * cli['p99'] / RECORD_WIRE_MS:.2f} %")


def measure_memory(build, workdir, env):
    # Intel HEX of 16-byte records is about 2.8 bytes of text per byte of data.
    for label, hex_bytes in (("1 MB", 1_000_000), ("50 MB", 50_000_000)):
        hexfile = make_hex(workdir, "memory", int(hex_bytes / 2.81), 2)
        devsim, pty = start_devsim(build)
        report, _ = run_host(build, ("quill-cli",), pty, hexfile, env, timed=True)
        devsim.wait(timeout=600)
        rss = re.search(r"Maximum resident set size \(kbytes\): (\d+)", report).group(1)
        wall = re.search(r"Elapsed \(wall clock\) time.*: (\S+)", report).group(1)
        size = os.path.getsize(hexfile) / 1e6
        print(f"peak memory, {label} hex file ({size:.1f} MB): {int(rss) / 1024:.1f} MiB "
              f"(download took {wall})")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("build", help="build folder with quill-cli and quill-devsim")
    parser.add_argument("--kib", type=int, default=256, help="data in the turnaround file")
    parser.add_argument("--rounds", type=int, default=3)
    parser.add_argument("--memory", action="store_true", help="also peak memory, 1 MB and 50 MB")
    parser.add_argument("--no-strace", action="store_true", help="leave out the system calls")
    parser.add_argument("--network", action="store_true",
                        help="also quill-cli through ser2net on localhost")
    parser.add_argument("--events", action="store_true",
                        help="also quill-cli writing its live events to a file and to a broker")
    args = parser.parse_args()
    if not args.no_strace and shutil.which("strace") is None:
        sys.exit("the system calls need strace (apt-get install strace), or give --no-strace")
    with tempfile.TemporaryDirectory() as workdir:
        # Settings, history, journal and traces stay in the scratch folder.
        env = dict(os.environ, HOME=workdir,
                   **{name: os.path.join(workdir, name.lower())
                      for name in ("XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME",
                                   "XDG_CACHE_HOME")})
        measure_turnaround(os.path.abspath(args.build), workdir, env, args.kib, args.rounds,
                           not args.no_strace, args.network, args.events)
        if args.memory:
            measure_memory(os.path.abspath(args.build), workdir, env)


if __name__ == "__main__":
    main()
