#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Host turnaround per record, and peak memory, of quill-cli over a pseudo-terminal.

quill-devsim answers every record at once and logs the conversation with
microsecond timestamps. The turnaround of a record is the time from the
device's release byte (the XON after its XOFF) to the next record line it
receives. quill-cli, quill-cli writing its trace (--log), and
minimal_loop.cpp (the smallest host that does the same exchange) are
measured in turns, in the same run, on the same file.

    turnaround.py BUILD_DIR [--kib N] [--rounds N] [--memory]
"""

import argparse
import os
import random
import re
import statistics
import subprocess
import sys
import tempfile

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


def run_host(build, kind, pty, hexfile, env, timed=False, trace=None):
    if kind == "quill-cli":
        cmd = [os.path.join(build, "src/cli/quill-cli"), "--port", pty, "--baud", "38400",
               "--device", "manual", "--yes", hexfile]
        if trace:
            cmd[1:1] = ["--log", trace]
    else:
        cmd = [kind, pty, hexfile]
    if timed:
        cmd = ["/usr/bin/time", "-v", *cmd]
    done = subprocess.run(cmd, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                          text=True, timeout=3600)
    if done.returncode != 0:
        sys.exit(f"{kind} failed ({done.returncode}):\n{done.stderr[-2000:]}")
    return done.stderr


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


def measure_turnaround(build, workdir, env, kib, rounds):
    hexfile = make_hex(workdir, "turnaround", kib * 1024, 1)
    loop = os.path.join(workdir, "minimal_loop")
    here = os.path.dirname(os.path.abspath(__file__))
    subprocess.run(["c++", "-O2", "-std=c++20", "-o", loop,
                    os.path.join(here, "minimal_loop.cpp")], check=True)
    trace = os.path.join(workdir, "trace.log")
    # name: (host, its trace file)
    hosts = {"quill-cli": ("quill-cli", None), "quill-cli --log": ("quill-cli", trace),
             "minimal loop": (loop, None)}
    results = {name: [] for name in hosts}
    round_medians = {name: [] for name in hosts}
    for r in range(rounds):
        for name, (kind, log_file) in hosts.items():  # in turns: all see the same machine
            log = os.path.join(workdir, f"devsim-{r}.log")
            devsim, pty = start_devsim(build, log)
            run_host(build, kind, pty, hexfile, env, trace=log_file)
            devsim.wait(timeout=60)
            samples = turnarounds(log)
            results[name] += samples
            round_medians[name].append(statistics.median(samples))
    stats = {name: summary(samples) for name, samples in results.items()}
    cli, small = stats["quill-cli"], stats["minimal loop"]
    print(f"file: {kib} KiB of data, {cli['n'] // rounds} records; {rounds} rounds each")
    print(f"{'turnaround (ms)':<16}{'median':>9}{'mean':>9}{'p90':>9}{'p99':>9}{'max':>9}")
    for name, s in stats.items():
        print(f"{name:<16}" + "".join(f"{s[k]:9.3f}" for k in ("median", "mean", "p90", "p99", "max")))
    # Each round's hosts ran back to back: the median of the rounds' ratios
    # is the figure least moved by other work on the machine.
    for name in ("quill-cli", "quill-cli --log"):
        s = stats[name]
        paired = statistics.median(a / b for a, b in zip(round_medians[name],
                                                           round_medians["minimal loop"]))
        print(f"ratio {name} / minimal loop: median {s['median'] / small['median']:.2f}, "
              f"mean {s['mean'] / small['mean']:.2f}, median of the rounds' ratios {paired:.2f}")
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
        report = run_host(build, "quill-cli", pty, hexfile, env, timed=True)
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
    args = parser.parse_args()
    with tempfile.TemporaryDirectory() as workdir:
        env = dict(os.environ, XDG_CONFIG_HOME=os.path.join(workdir, "config"))
        measure_turnaround(os.path.abspath(args.build), workdir, env, args.kib, args.rounds)
        if args.memory:
            measure_memory(os.path.abspath(args.build), workdir, env)


if __name__ == "__main__":
    main()
