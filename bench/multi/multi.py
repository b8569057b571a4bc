#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Per-record turnaround of each device, and quill-cli's CPU, on 1 to 16 ports at once.

One quill-devsim plays N devices that answer at once (--count N) and logs
each conversation with microsecond timestamps; one quill-cli downloads the
same hex file to all N. A record's turnaround is the time from the device's
release byte (the XON after its XOFF) to the next record line it receives,
as in bench/turnaround. quill-cli's CPU time (user + system) is taken from
the kernel's accounting of the finished child.

With --device-ms M the devices take M ms to take each record and M ms to
write it (the time a real device needs, which leaves the machine idle in
between); 0, the default, is the instant device.

With --host minimal (or qt, qt-fd) quill-cli is replaced by one process per
device of bench/turnaround's yardstick loops: what the machine and the
simulator give a host that costs next to nothing.

    multi.py BUILD_DIR [--kib N] [--counts 1,4,8,16] [--rounds N] [--device-ms M]
             [--host quill-cli|minimal|qt|qt-fd]
"""

import argparse
import os
import resource
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "turnaround"))
from turnaround import FAST, build_loops, make_hex, turnarounds  # noqa: E402


def run_line(build, workdir, hexfile, count, env, device_ms, host=None):
    """One download to `count` devices: each device's turnarounds, the host's CPU and wall time."""
    link = os.path.join(workdir, f"tty{count}-")
    log = os.path.join(workdir, f"devsim{count}.log")
    devsim = subprocess.Popen(
        [os.path.join(build, "tools/devsim/quill-devsim"), *FAST, "--record-ack-ms",
         str(device_ms), "--record-write-ms", str(device_ms), "--exit-after-download",
         "--count", str(count), "--link", link, "--log", log],
        stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    for _ in range(count):
        devsim.stdout.readline()
    # One device keeps the link's name; several get their number after it.
    ports = [link + (str(k) if count > 1 else "") for k in range(1, count + 1)]
    if host is None:
        cmd = [os.path.join(build, "src/cli/quill-cli"), "--baud", "38400", "--device", "manual",
               "--yes"]
        for port in ports:
            cmd += ["--port", port]
        commands = [cmd + [hexfile]]
    else:  # one yardstick process per device
        program, *options = host  # its program, then its options
        commands = [[program, port, hexfile, *options] for port in ports]
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.monotonic()
    hosts = [subprocess.Popen(cmd, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                              text=True) for cmd in commands]
    for done in hosts:
        _, stderr = done.communicate(timeout=3600)
        if done.returncode != 0:
            sys.exit(f"{done.args[0]} failed ({done.returncode}):\n{stderr[-2000:]}")
    wall = time.monotonic() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    devsim.wait(timeout=60)
    cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
    stem, ext = os.path.splitext(log)
    logs = [stem + (str(k) if count > 1 else "") + ext for k in range(1, count + 1)]
    return [turnarounds(path) for path in logs], cpu, wall


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("build", help="build folder with quill-cli and quill-devsim")
    parser.add_argument("--kib", type=int, default=64, help="data in the file")
    parser.add_argument("--counts", default="1,4,8,16", help="numbers of devices")
    parser.add_argument("--rounds", type=int, default=3)
    parser.add_argument("--device-ms", type=int, default=0, help="a device's time per record")
    parser.add_argument("--host", choices=("quill-cli", "minimal", "qt", "qt-fd"),
                        default="quill-cli",
                        help="the host: quill-cli on every port, or one yardstick loop per port")
    args = parser.parse_args()
    build = os.path.abspath(args.build)
    counts = [int(n) for n in args.counts.split(",")]
    with tempfile.TemporaryDirectory() as workdir:
        # Settings, history, journal and traces stay in the scratch folder.
        env = dict(os.environ, HOME=workdir,
                   **{name: os.path.join(workdir, name.lower())
                      for name in ("XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME",
                                   "XDG_CACHE_HOME")})
        hexfile = make_hex(workdir, "multi", args.kib * 1024, 1)
        loop, qt_loop = build_loops(workdir)
        host = {"quill-cli": None, "minimal": (loop,), "qt": (qt_loop,),
                "qt-fd": (qt_loop, "--notifier")}[args.host]
        load = os.getloadavg()[0]
        results = {n: {"devices": [[] for _ in range(n)], "cpu": [], "wall": []} for n in counts}
        for _ in range(args.rounds):
            for n in counts:  # in turns, so every count sees the same machine
                samples, cpu, wall = run_line(build, workdir, hexfile, n, env, args.device_ms,
                                               host)
                for k, device in enumerate(samples):
                    results[n]["devices"][k] += device
                results[n]["cpu"].append(cpu)
                results[n]["wall"].append(wall)
        records = len(results[counts[0]]["devices"][0]) // args.rounds
        print(f"host: {args.host}; file: {args.kib} KiB of data, {records} records; "
              f"{args.rounds} rounds; "
              f"device time per record {2 * args.device_ms} ms; {os.cpu_count()} CPUs; "
              f"load average {load:.1f} at the start, {os.getloadavg()[0]:.1f} at the end")
        print(f"{'devices':>7}  {'median turnaround (ms)':>36}  {'p90 (ms)':>8}  "
              f"{'host CPU (s)':>17}  {'CPU per device':>14}  {'wall (s)':>8}")
        print(f"{'':>7}  {'best device':>11} {'median dev':>11} {'worst dev':>11}")
        base = None
        for n in counts:
            medians = sorted(statistics.median(d) for d in results[n]["devices"])
            every = sorted(s for d in results[n]["devices"] for s in d)
            p90 = every[min(len(every) - 1, int(0.9 * len(every)))]
            cpu = statistics.median(results[n]["cpu"])
            wall = statistics.median(results[n]["wall"])
            base = base or statistics.median(medians)
            print(f"{n:>7}  {medians[0]:11.3f} {statistics.median(medians):11.3f} "
                  f"{medians[-1]:11.3f}  {p90:8.3f}  {cpu:17.3f}  {cpu / n:14.3f}  {wall:8.2f}")
        worst = max(statistics.median(d) for d in results[counts[-1]]["devices"])
        print(f"worst device's median turnaround with {counts[-1]} devices: "
              f"{worst / base:.2f} x a single download's")


if __name__ == "__main__":
    main()
