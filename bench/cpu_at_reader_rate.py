#!/usr/bin/env python3
"""VARNO's CPU use, wake-ups and peak memory against a reader at 115200 baud.

Drives the real program as the end-to-end test does (a virtual display of its
own, synthetic clicks): TCP/IP to the simulator streaming 820 frames per second,
logging on, the chart drawing every frame. Once frames flow, measures the
program's CPU time from /proc/<pid>/stat (utime + stime) and the window's
wake-ups over the given seconds, and reads its peak resident set (VmHWM) at the
end. The window's wake-ups are the voluntary context switches of its thread
(the main thread, /proc/<pid>/task/<pid>/status): each time it sleeps and is
woken, for frames, a paint, a timer or the display.

With --size, the window is given that size once the link is open (the display
is made large enough; without a window manager nobody else would resize it),
as an operator maximising it on a screen of that size would.

Usage: cpu_at_reader_rate.py --varno PATH --sim PATH --source DIR [--seconds 30] [--rate 820]
                             [--size WIDTHxHEIGHT]
Exit status 1 when the CPU use is above the target (5 % of one core at the
window's template size, 10 % at a larger size) or the window wakes more than
60 times a second.
"""

import argparse
import os
import sys
import time

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
import desktop  # noqa: E402

TARGET_PERCENT = 5.0        # at the template's size
TARGET_PERCENT_LARGE = 10.0  # at a size given with --size
TARGET_WAKE_UPS = 60  # per second


def window_size(text):
    """WIDTHxHEIGHT as a pair of integers."""
    try:
        width, height = (int(v) for v in text.lower().split("x"))
    except ValueError:
        raise argparse.ArgumentTypeError(f"{text!r} is not WIDTHxHEIGHT") from None
    return width, height


def voluntary_switches(pid, tid):
    with open(f"/proc/{pid}/task/{tid}/status") as f:
        for line in f:
            if line.startswith("voluntary_ctxt_switches:"):
                return int(line.split()[1])
    raise desktop.Failure("no voluntary_ctxt_switches in /proc/<pid>/task/<tid>/status")


def cpu_ticks(pid):
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return int(fields[11]) + int(fields[12])  # utime, stime (fields 14 and 15)


def peak_rss_kib(pid):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmHWM:"):
                return int(line.split()[1])
    raise desktop.Failure("no VmHWM in /proc/<pid>/status")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--varno", required=True)
    parser.add_argument("--sim", required=True)
    parser.add_argument("--source", required=True)
    parser.add_argument("--seconds", type=float, default=30)
    parser.add_argument("--rate", type=float, default=820)
    parser.add_argument("--size", type=window_size, help="the window's size while measured, e.g. 1920x1080")
    args = parser.parse_args()
    tick = os.sysconf("SC_CLK_TCK")
    target = TARGET_PERCENT if args.size is None else TARGET_PERCENT_LARGE
    screen = "1024x768x24"
    if args.size is not None:
        screen = f"{max(1024, args.size[0])}x{max(768, args.size[1])}x24"

    with desktop.Session(args.varno, args.sim, args.source, screen=screen) as s:
        s.start_display()
        port = s.start_sim(["--rate", args.rate, "--quiet"])
        varno = s.start_varno()
        main_window = s.find_window(desktop.MAIN_TITLE)
        s.choose_tcp_ip(main_window, port)
        log = s.start_logging(main_window)
        s.open_link(main_window)
        s.wait_for(lambda: desktop.line_count(log) > args.rate, 60, "a second's worth of frames in the log")
        size = s.window_size(main_window)
        if args.size is not None:
            s.resize_window(main_window, *args.size)
            size = s.window_size(main_window)
            if size != args.size:
                raise desktop.Failure(f"the window is {size[0]}x{size[1]}, not {args.size[0]}x{args.size[1]}")
            time.sleep(1)  # the chart laid out again at its new size

        xvfb = s.processes["Xvfb"].pid
        lines0, ticks0, xticks0, t0 = desktop.line_count(log), cpu_ticks(varno.pid), cpu_ticks(xvfb), time.monotonic()
        wakes0 = voluntary_switches(varno.pid, varno.pid)
        time.sleep(args.seconds)  # the measurement itself
        s.check_alive()
        wakes1 = voluntary_switches(varno.pid, varno.pid)
        lines1, ticks1, xticks1, t1 = desktop.line_count(log), cpu_ticks(varno.pid), cpu_ticks(xvfb), time.monotonic()
        peak = peak_rss_kib(varno.pid)

        status = s.close_window(main_window)
        if status != 0:
            raise desktop.Failure(f"VARNO ended with status {status}")

    elapsed = t1 - t0
    percent = 100.0 * (ticks1 - ticks0) / tick / elapsed
    x_percent = 100.0 * (xticks1 - xticks0) / tick / elapsed
    logged = (lines1 - lines0) / elapsed
    wake_ups = (wakes1 - wakes0) / elapsed
    verdict = "within" if percent <= target else "ABOVE"
    wake_verdict = "within" if wake_ups <= TARGET_WAKE_UPS else "ABOVE"
    print(f"VARNO at {args.rate:g} frames/s for {elapsed:.1f} s, chart and logging on, window {size[0]}x{size[1]}:")
    print(f"  CPU        {percent:.1f} % of one core ({verdict} the {target:g} % target)")
    print(f"  wake-ups   {wake_ups:.0f} per second of the window's thread ({wake_verdict} the {TARGET_WAKE_UPS} target)")
    print(f"  peak RSS   {peak / 1024:.1f} MiB (VmHWM)")
    print(f"  logged     {logged:.0f} frames/s")
    print(f"  X server   {x_percent:.1f} % of one core (drawing what VARNO asks for; not counted above)")
    if logged < 0.95 * args.rate:
        print("  the log fell behind the stream: the figures do not hold for this rate", file=sys.stderr)
        return 1
    return 0 if percent <= target and wake_ups <= TARGET_WAKE_UPS else 1


if __name__ == "__main__":
    try:
        sys.exit(main())
    except desktop.Failure as e:
        print(f"bench: FAILED: {e}", file=sys.stderr)
        sys.exit(2)
