#!/usr/bin/env python3
"""varno --headless against the reader simulator on loopback, as a service runs it.

Full speed: the simulator sends FRAMES frames as fast as they are taken; prints
the frames logged per second (wall clock and per CPU second of the logger, all
its threads) and the logger's resident memory at each quarter of the run
(target: at least 200,000 frames per second, memory flat).

At a reader's pace: 820 frames per second for SECONDS; prints the logger's CPU
use (target: at most 1 % of one core), and that of a bare receive loop over the
same stream (wait on the socket and a stop descriptor, receive, nothing else):
every frame must be read when it comes to keep its own time, and what one
wake-up per frame costs depends on the machine, a virtual one most of all.

Usage: headless.py --varno PATH --sim PATH [--bare PATH] [--frames 2000000] [--seconds 30]
Exit status 1 when a target is missed, 2 when the run itself failed.
"""

import argparse
import os
import re
import select
import signal
import subprocess
import sys
import tempfile
import time

TARGET_FPS = 200_000
TARGET_PERCENT = 1.0


class Failure(Exception):
    pass


def cpu_ticks(pid):
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return int(fields[11]) + int(fields[12])  # utime, stime


def rss_kib(pid):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


class Logger:
    """varno --headless, its standard error read line by line."""

    def __init__(self, varno, where, folder):
        self.p = subprocess.Popen([varno, "--headless", "--tcp", where, "--log-dir", folder],
                                  stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        self.buffer = b""

    def lines(self, timeout):
        """The report lines that come within `timeout` seconds."""
        out = []
        end = time.monotonic() + timeout
        while True:
            left = end - time.monotonic()
            if left <= 0 or not select.select([self.p.stderr], [], [], left)[0]:
                return out
            chunk = os.read(self.p.stderr.fileno(), 65536)
            if not chunk:
                return out
            self.buffer += chunk
            *complete, self.buffer = self.buffer.split(b"\n")
            out += [line.decode("utf-8", "replace") for line in complete]
            if out:
                return out

    def wait_for(self, word, timeout):
        end = time.monotonic() + timeout
        while time.monotonic() < end:
            for line in self.lines(end - time.monotonic()):
                if f" {word}" in line:
                    return line
        raise Failure(f"the logger did not say '{word}' within {timeout} s")

    def frames(self):
        """Asks for a status line; the frames it counts."""
        self.p.send_signal(signal.SIGUSR1)
        m = re.search(r"status frames=(\d+)", self.wait_for("status", 10))
        return int(m.group(1))

    def stop(self):
        self.p.send_signal(signal.SIGTERM)
        status = self.p.wait(30)
        if status != 0:
            raise Failure(f"the logger ended with status {status}")


def simulator(sim, options):
    p = subprocess.Popen([sim, "--listen", "127.0.0.1:0", "--quiet"] + options, stdin=subprocess.DEVNULL,
                         stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    where = p.stdout.readline().decode().strip()
    if not where.startswith("127."):
        raise Failure(f"the simulator printed {where!r}")
    return p, where


def full_speed(args, folder):
    sim, where = simulator(args.sim, ["--rate", "0", "--count", str(args.frames), "--hold"])
    logger = Logger(args.varno, where, folder)
    try:
        logger.wait_for("connected", 30)
        t0, ticks0 = time.monotonic(), cpu_ticks(logger.p.pid)
        quarters, rss = [args.frames * q // 4 for q in (1, 2, 3, 4)], []
        while True:
            n = logger.frames()
            while quarters and n >= quarters[0]:
                quarters.pop(0)
                rss.append(rss_kib(logger.p.pid))
            if n >= args.frames:
                break
            time.sleep(0.1)
        t1, ticks1 = time.monotonic(), cpu_ticks(logger.p.pid)
        logger.stop()
    finally:
        sim.kill()
        sim.wait()
    seconds = t1 - t0
    cpu = (ticks1 - ticks0) / os.sysconf("SC_CLK_TCK")
    fps = args.frames / seconds
    verdict = "within" if fps >= TARGET_FPS else "BELOW"
    print(f"varno --headless, {args.frames} frames from a loopback server at full speed:")
    print(f"  logged     {fps:,.0f} frames/s ({verdict} the {TARGET_FPS:,} target), "
          f"{args.frames / cpu:,.0f} frames per CPU second (all threads)")
    print(f"  RSS        {' → '.join(f'{r / 1024:.1f}' for r in rss)} MiB at each quarter")
    return fps >= TARGET_FPS


def reader_pace(args, folder):
    sim, where = simulator(args.sim, ["--rate", "820"])
    logger = Logger(args.varno, where, folder)
    try:
        logger.wait_for("connected", 30)
        time.sleep(2)  # settled
        n0, t0, ticks0 = logger.frames(), time.monotonic(), cpu_ticks(logger.p.pid)
        time.sleep(args.seconds)
        n1, t1, ticks1 = logger.frames(), time.monotonic(), cpu_ticks(logger.p.pid)
        rss = rss_kib(logger.p.pid)
        logger.stop()
    finally:
        sim.kill()
        sim.wait()
    percent = 100.0 * (ticks1 - ticks0) / os.sysconf("SC_CLK_TCK") / (t1 - t0)
    verdict = "within" if percent <= TARGET_PERCENT else "ABOVE"
    print(f"varno --headless at 820 frames/s for {t1 - t0:.1f} s:")
    print(f"  CPU        {percent:.2f} % of one core ({verdict} the {TARGET_PERCENT:g} % target)")
    print(f"  logged     {(n1 - n0) / (t1 - t0):.0f} frames/s; RSS {rss / 1024:.1f} MiB")
    return percent <= TARGET_PERCENT


def bare_floor(args):
    """CPU use of the bare receive loop at 820 frames/s, in % of one core."""
    sim, where = simulator(args.sim, ["--rate", "820"])
    bare = subprocess.Popen([args.bare, where], stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL)
    try:
        time.sleep(2)
        t0, ticks0 = time.monotonic(), cpu_ticks(bare.pid)
        time.sleep(args.seconds)
        t1, ticks1 = time.monotonic(), cpu_ticks(bare.pid)
        if bare.poll() is not None:
            raise Failure(f"the bare receiver ended with status {bare.returncode}")
    finally:
        bare.kill()
        bare.wait()
        sim.kill()
        sim.wait()
    percent = 100.0 * (ticks1 - ticks0) / os.sysconf("SC_CLK_TCK") / (t1 - t0)
    print(f"  floor      {percent:.2f} % of one core for a bare receive loop over the same stream "
          f"(one wake-up per frame on this machine)")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--varno", required=True)
    parser.add_argument("--sim", required=True)
    parser.add_argument("--bare", help="the bare receive loop, for the machine's floor")
    parser.add_argument("--frames", type=int, default=2_000_000)
    parser.add_argument("--seconds", type=float, default=30)
    args = parser.parse_args()
    with tempfile.TemporaryDirectory(prefix="varno-headless-bench-") as folder:
        fast = full_speed(args, os.path.join(folder))
        for name in os.listdir(folder):
            os.remove(os.path.join(folder, name))
        paced = reader_pace(args, folder)
        if args.bare:
            bare_floor(args)
    return 0 if fast and paced else 1


if __name__ == "__main__":
    try:
        sys.exit(main())
    except (Failure, subprocess.TimeoutExpired) as e:
        print(f"bench: FAILED: {e}", file=sys.stderr)
        sys.exit(2)
