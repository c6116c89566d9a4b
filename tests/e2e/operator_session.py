#!/usr/bin/env python3
"""End to end, as an operator: VARNO on a virtual display receives known
streams from the reader simulator, over TCP/IP and over a pseudo-terminal,
and logs them.

Starts VARNO with --log-dir, clicks the port list to "TCP/IP", types the
simulator's address and port into the settings dialog, presses "Enregister"
then "Ouvrir" and lets the frames flow. The simulator then leaves: VARNO says
so, the operator dismisses the message and one click on "Ouvrir" reconnects to
the simulator that took its place. A second click closes the link; the
operator types the path of a simulated serial port into the port list and
opens it. Escape must not end the program; the window is captured and closed
with its close box. Then the log file that appeared in the folder named by
--log-dir (and nowhere else) must hold the header and every frame the
simulators recorded, in order, each with the field count of its kind and a
logged time no earlier than the simulator's send time (and not long after
it), and the chart must show dots of several tags.

Usage: operator_session.py --varno PATH --sim PATH --source DIR [--screenshot PNG]
The screenshot is also written where VARNO_E2E_SCREENSHOT says, if set.
"""

import argparse
import csv
import datetime
import os
import re
import sys
import time

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import desktop  # noqa: E402

HEADER = "Trame reçue;Date;Heure;msec;ID Lecteur (hexa);ID Tag (hexa);t(sec);dt(sec);P1 (déc);P2 (déc)".encode("cp1252")
FIELDS = {"351": 9, "352": 10}  # a reader line, a debug line


# The log's time (date, time of day, milliseconds) and the record's send time
# may be a little apart, never the wrong way round: both read the same clock.
MAX_LATE_MS = 2000


def recorded_frames(path):
    """(kind, text, send time) of every frame the simulator handed over; '#'
    lines are frames that line noise cut short, which no receiver sees whole.
    A line is "<kind> <text>", a tab and "dd/mm/yyyy hh:mm:ss.mmm"."""
    frames = []
    with open(path, "rb") as f:
        for line in f.read().split(b"\n"):
            if not line or line.startswith(b"#"):
                continue
            frame, _, sent = line.decode("ascii").partition("\t")
            kind, _, text = frame.partition(" ")
            if kind not in FIELDS:
                raise desktop.Failure(f"unknown record line {line!r}")
            frames.append((kind, text, local_millis(sent)))
    return frames


def local_millis(text):
    """Milliseconds of a local "dd/mm/yyyy hh:mm:ss.mmm" on a running count."""
    try:
        when = datetime.datetime.strptime(text, "%d/%m/%Y %H:%M:%S.%f")
    except ValueError:
        raise desktop.Failure(f"{text!r} is not a send time") from None
    return int(when.timestamp()) * 1000 + when.microsecond // 1000


def seconds(field, what, n):
    whole, dot, millis = field.partition(b".")
    if not (whole.lstrip(b"-").isdigit() and dot and len(millis) == 3 and millis.isdigit()):
        raise desktop.Failure(f"line {n}: {what} {field!r} is not seconds with three decimals")
    return int(whole) * 1000 + (-1 if whole.startswith(b"-") else 1) * int(millis)


def check_log(path, frames):
    with open(path, "rb") as f:
        data = f.read()
    if not data.endswith(b"\r\n"):
        raise desktop.Failure("the log does not end with CR LF")
    lines = data[:-2].split(b"\r\n")
    if lines[0] != HEADER:
        raise desktop.Failure(f"first line is not the header: {lines[0]!r}")
    body = lines[1:]
    if len(body) != len(frames):
        raise desktop.Failure(f"{len(body)} frame lines in the log, {len(frames)} frames sent")
    previous_t = None
    for n, (line, (kind, text, sent)) in enumerate(zip(body, frames), start=2):
        if b"\n" in line or b"\r" in line:
            raise desktop.Failure(f"line {n}: stray line break in {line!r}")
        # As a spreadsheet reads it: a field holding ';' or '"' is quoted.
        fields = [f.encode("latin-1") for f in next(csv.reader([line.decode("latin-1")], delimiter=";"))]
        expected = b"[" + text.encode("ascii") + b"]"
        if fields[0] != expected:
            raise desktop.Failure(f"line {n}: {fields[0]!r} where the simulator sent {expected!r}")
        if len(fields) != FIELDS[kind]:
            raise desktop.Failure(f"line {n}: {len(fields)} fields for a frame of kind {kind}: {line!r}")
        t = seconds(fields[6], "t", n)
        dt = seconds(fields[7], "dt", n)
        if previous_t is None and (t, dt) != (0, 0):
            raise desktop.Failure(f"line {n}: the first frame's t and dt are not 0.000: {line!r}")
        if dt < 0 or (previous_t is not None and t < previous_t):
            raise desktop.Failure(f"line {n}: time runs backwards: {line!r}")
        previous_t = t
        logged = local_millis(f"{fields[1].decode()} {fields[2].decode()}.{fields[3].decode()[2:]}")
        if not 0 <= logged - sent <= MAX_LATE_MS:
            raise desktop.Failure(f"line {n}: logged {logged - sent} ms after the simulator sent it: {line!r}")


def check_dots(session, picture):
    """Dots of at least three tag colours inside the plot. Yellow and white are
    left out: the trigger line and the grid have them too."""
    counts = desktop.count_colours(picture, session.plot_area())
    tag_colours = desktop.SLOT_COLOURS[1:7] + desktop.SLOT_COLOURS[8:]
    seen = {c: counts[c] for c in tag_colours if counts[c] >= 20}  # a dot is 32 pixels
    if len(seen) < 3:
        found = {c: counts[c] for c in tag_colours if counts[c]}
        raise desktop.Failure(f"the chart shows too few coloured dots; pixels by colour: {found}")
    return seen


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--varno", required=True)
    parser.add_argument("--sim", required=True)
    parser.add_argument("--source", required=True, help="the source tree (for the window templates)")
    parser.add_argument("--frames", type=int, default=500)
    parser.add_argument("--rate", type=float, default=200)
    parser.add_argument("--screenshot", default=os.environ.get("VARNO_E2E_SCREENSHOT"),
                        help="also save the window as this PNG")
    args = parser.parse_args()

    with desktop.Session(args.varno, args.sim, args.source) as s:
        records = [os.path.join(s.dir, f"record{i}.txt") for i in range(3)]
        counts = [args.frames, args.frames // 4, args.frames // 4]
        pace = ["--rate", args.rate]
        s.start_display()
        # The first simulator leaves once its frames are taken: a lost link.
        port = s.start_sim(["--count", counts[0], "--record", records[0], "--noise", 5, "--seed", 8] + pace)
        s.logdir = os.path.join(s.dir, "logs")
        os.mkdir(s.logdir)
        s.start_varno(["--log-dir", s.logdir])
        main_window = s.find_window(desktop.MAIN_TITLE)
        print(f"e2e: VARNO on display {s.display}, simulator on 127.0.0.1:{port}", flush=True)

        s.choose_tcp_ip(main_window, port)
        log = s.start_logging(main_window)
        print(f"e2e: logging to {os.path.basename(log)}", flush=True)
        s.open_link(main_window)
        s.wait_for(lambda: desktop.line_count(log) >= counts[0] + 1, counts[0] / args.rate + 60,
                   f"{counts[0]} frames in the log")
        status = s.wait_exit("varno-sim", 30)
        if status != 0:
            raise desktop.Failure(f"varno-sim ended with status {status}")

        # Another server takes the same port; after the loss message one click reconnects.
        s.start_sim(["--count", counts[1], "--record", records[1], "--hold", "--seed", 8] + pace, port=port,
                    name="varno-sim-2")
        s.dismiss_message()
        s.open_link(main_window)
        total = counts[0] + counts[1]
        s.wait_for(lambda: desktop.line_count(log) >= total + 1, counts[1] / args.rate + 60,
                   f"{total} frames in the log after reconnecting")
        s.open_link(main_window)  # closes the link: the simulator ends with its reader
        status = s.wait_exit("varno-sim-2", 30)
        if status != 0:
            raise desktop.Failure(f"the second varno-sim ended with status {status}")
        print(f"e2e: reconnected after the loss with one click", flush=True)

        # A simulated serial port, opened by typing its path.
        path = s.start_sim_pty(["--count", counts[2], "--record", records[2], "--hold", "--seed", 8] + pace)
        s.type_port(main_window, path)
        s.open_link(main_window)
        total += counts[2]
        s.wait_for(lambda: desktop.line_count(log) >= total + 1, counts[2] / args.rate + 60,
                   f"{total} frames in the log from {path}")
        print(f"e2e: {path} opened by typing its path", flush=True)

        # Escape is no way out.
        s.focus(main_window)
        s.xdo("key", "Escape")
        time.sleep(1)
        if not s.visible_windows("--name", "^" + re.escape(desktop.MAIN_TITLE) + "$"):
            raise desktop.Failure("Escape closed the window")
        s.check_alive()

        picture = s.screenshot(main_window, os.path.join(s.dir, "window.ppm"))
        if args.screenshot:
            r = s._run(["convert", os.path.join(s.dir, "window.ppm"), "-strip", "png:" + args.screenshot])
            if r.returncode != 0:
                raise desktop.Failure(f"convert failed: {r.stderr.strip()}")
            print(f"e2e: screenshot saved as {args.screenshot}", flush=True)
        seen = check_dots(s, picture)

        status = s.close_window(main_window)
        if status != 0:
            raise desktop.Failure(f"VARNO ended with status {status}")
        # It serves until its reader goes away, then ends.
        status = s.wait_exit("varno-sim-pty", 30)
        if status != 0:
            raise desktop.Failure(f"the pseudo-terminal's varno-sim ended with status {status}")

        files = os.listdir(s.logdir)
        if len(files) != 1 or not desktop.LOG_NAME.fullmatch(files[0]):
            raise desktop.Failure(f"the log folder holds {files}, not one log file")
        if os.listdir(s.workdir):
            raise desktop.Failure(f"the working directory holds {os.listdir(s.workdir)}: the log went elsewhere")
        frames = []
        for record, count in zip(records, counts):
            recorded = recorded_frames(record)
            if len(recorded) != count:
                raise desktop.Failure(f"the simulator recorded {len(recorded)} frames in {record}, not {count}")
            frames += recorded
        check_log(log, frames)
        debug = sum(1 for kind, _, _ in frames if kind == "352")
        print(f"e2e: {len(frames)} frames ({debug} debug lines) logged in order; "
              f"dots of {len(seen)} tag colours on the chart")


if __name__ == "__main__":
    try:
        main()
    except desktop.Failure as e:
        print(f"e2e: FAILED: {e}", file=sys.stderr)
        sys.exit(1)
