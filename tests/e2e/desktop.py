"""Drives VARNO from outside its process, as an operator would.

A virtual X display of its own (Xvfb, no window manager), VARNO and the reader
simulator as child processes, and synthetic input events (xdotool) placed from
the dialog-unit rectangles of the window templates in the sources. Used by the
end-to-end test beside this file and by the CPU benchmark in bench/.

Python 3 standard library only; needs Xvfb, xdotool and ImageMagick's import
and convert (scripts/setup installs them).
"""

import collections
import ctypes
import glob
import os
import re
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import time

MAIN_TITLE = "VARNO - KAVRO Log Graphique v1.1.1"
TCP_TITLE = "Configuration TCP/IP"
LOG_NAME = re.compile(r"VARNO_\d{8}_\d{2}h\d{2}\.csv")

# The colours of the nine legend slots as the screen shows them (R, G, B):
# yellow, light blue, green, red, cyan, magenta, orange, white, grey.
SLOT_COLOURS = [(255, 255, 0), (96, 96, 255), (0, 255, 0), (255, 0, 0), (0, 255, 255),
                (255, 0, 255), (255, 128, 0), (255, 255, 255), (128, 128, 128)]


class Failure(Exception):
    """The session did not go as an operator would expect."""


Rect = collections.namedtuple("Rect", "x y w h")


def dlu_x(v):
    return int(v * 1.5 + 0.5)


def dlu_y(v):
    return int(v * 1.625 + 0.5)


def dlu_rect(x, y, w, h):
    return Rect(dlu_x(x), dlu_y(y), dlu_x(w), dlu_y(h))


def read_templates(source):
    """Pixel rectangles of the main window's controls (by their idc name) and of
    the TCP/IP dialog's (by their variable name), from the sources."""
    with open(os.path.join(source, "src", "app", "window_template.cpp"), encoding="utf-8") as f:
        text = f.read()
    main = {}
    for m in re.finditer(r'\{idc::(\w+),\s*Kind::(\w+),\s*"[^"]*",\s*(\d+),\s*(\d+),\s*(\d+),\s*(\d+)\}', text):
        name, kind = m.group(1), m.group(2)
        x, y, w, h = (int(v) for v in m.groups()[2:])
        if kind.startswith("Combo"):
            h = 12  # the template gives the drop-down list's height; the closed box is an edit's
        main[name] = dlu_rect(x, y, w, h)
    with open(os.path.join(source, "src", "link", "config_tcpip.cpp"), encoding="utf-8") as f:
        text = f.read()
    tcp = {m.group(1): dlu_rect(*(int(v) for v in m.groups()[1:]))
           for m in re.finditer(r"place\((\w+),\s*(\d+),\s*(\d+),\s*(\d+),\s*(\d+)\)", text)}
    for names, table, where in ((("Open", "PortList", "Log", "ChartFrame"), main, "window_template.cpp"),
                                (("addressControl", "portEdit", "ok"), tcp, "config_tcpip.cpp")):
        missing = [n for n in names if n not in table]
        if missing:
            raise Failure(f"no template rectangle for {missing} in {where}")
    return main, tcp


def _die_with_parent():
    # A child must not outlive this script, even when it is killed outright.
    libc = ctypes.CDLL(None, use_errno=True)
    libc.prctl(1, signal.SIGKILL)  # PR_SET_PDEATHSIG


def _raise_exit(signum, _frame):
    raise SystemExit(128 + signum)


def read_ppm(path):
    """(width, height, RGB bytes) of a binary PPM file."""
    with open(path, "rb") as f:
        data = f.read()
    fields = []
    pos = 0
    while len(fields) < 4:
        while data[pos:pos + 1].isspace():
            pos += 1
        if data[pos:pos + 1] == b"#":
            pos = data.index(b"\n", pos)
            continue
        start = pos
        while not data[pos:pos + 1].isspace():
            pos += 1
        fields.append(data[start:pos])
    if fields[0] != b"P6" or int(fields[3]) != 255:
        raise Failure(f"{path}: not an 8-bit binary PPM")
    width, height = int(fields[1]), int(fields[2])
    pixels = data[pos + 1:pos + 1 + 3 * width * height]
    if len(pixels) != 3 * width * height:
        raise Failure(f"{path}: truncated picture")
    return width, height, pixels


def count_colours(picture, rect):
    """How many pixels of each colour lie inside `rect` of the picture."""
    width, height, pixels = picture
    counts = collections.Counter()
    for y in range(max(0, rect.y), min(height, rect.y + rect.h)):
        row = y * width * 3
        for x in range(max(0, rect.x), min(width, rect.x + rect.w)):
            i = row + 3 * x
            counts[(pixels[i], pixels[i + 1], pixels[i + 2])] += 1
    return counts


class Session:
    """Xvfb, VARNO and the simulator for one run; everything started is stopped
    on leaving, and the scratch folder is removed unless the run failed."""

    def __init__(self, varno, sim, source, screen="1024x768x24"):
        for tool in ("Xvfb", "xdotool", "import", "convert"):
            if shutil.which(tool) is None:
                raise Failure(f"{tool} is missing: run scripts/setup")
        self.varno_path = os.path.abspath(varno)
        self.sim_path = os.path.abspath(sim)
        self.screen = screen
        self.controls, self.tcp_controls = read_templates(source)
        self.dir = tempfile.mkdtemp(prefix="varno-e2e-")
        self.workdir = os.path.join(self.dir, "cwd")  # VARNO's working directory: nothing else in it
        os.mkdir(self.workdir)
        self.processes = {}
        self.display = None
        self.varno = None
        self.sim = None

    def __enter__(self):
        for s in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
            signal.signal(s, _raise_exit)
        return self

    def __exit__(self, kind, value, _tb):
        failed = kind is not None and not (kind is SystemExit and value.code in (0, None))
        if failed and self.display is not None:
            self._run(["import", "-window", "root", os.path.join(self.dir, "failure.png")], timeout=20)
        for name in reversed(list(self.processes)):
            self._stop(name)
        if failed:
            for name in self.processes:
                self.print_tail(name)
            print(f"e2e: files of the failed run kept in {self.dir}", file=sys.stderr)
        else:
            shutil.rmtree(self.dir, ignore_errors=True)
        return False

    # ---- processes ----

    def _start(self, name, argv, env=None, cwd=None, pass_fds=()):
        out = open(os.path.join(self.dir, name + ".out"), "wb")
        err = open(os.path.join(self.dir, name + ".err"), "wb")
        p = subprocess.Popen(argv, stdin=subprocess.DEVNULL, stdout=out, stderr=err, env=env, cwd=cwd,
                             pass_fds=pass_fds, preexec_fn=_die_with_parent)
        out.close()
        err.close()
        self.processes[name] = p
        return p

    def _stop(self, name):
        p = self.processes[name]
        if p.poll() is not None:
            return
        p.terminate()
        try:
            p.wait(timeout=10)
        except subprocess.TimeoutExpired:
            p.kill()
            p.wait()

    def print_tail(self, name, lines=15):
        for stream in ("out", "err"):
            path = os.path.join(self.dir, f"{name}.{stream}")
            try:
                with open(path, "rb") as f:
                    tail = f.read().decode("utf-8", "replace").splitlines()[-lines:]
            except OSError:
                continue
            if tail:
                print(f"--- {name} std{stream} (last lines) ---", file=sys.stderr)
                print("\n".join(tail), file=sys.stderr)

    def check_alive(self):
        for name, p in self.processes.items():
            if p.poll() is not None and name != "varno-sim":
                raise Failure(f"{name} ended unexpectedly with status {p.returncode}")

    def wait_for(self, condition, timeout, what, interval=0.05):
        """Polls `condition` until it gives a true value, which is returned."""
        deadline = time.monotonic() + timeout
        while True:
            value = condition()
            if value:
                return value
            self.check_alive()
            if time.monotonic() > deadline:
                raise Failure(f"timed out after {timeout:g} s waiting for {what}")
            time.sleep(interval)

    def wait_exit(self, name, timeout):
        p = self.processes[name]
        try:
            return p.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            raise Failure(f"{name} did not end within {timeout:g} s") from None

    def start_display(self):
        r, w = os.pipe()
        try:
            self._start("Xvfb", ["Xvfb", "-displayfd", str(w), "-screen", "0", self.screen, "-nolisten", "tcp",
                                 "-noreset"], pass_fds=(w,))
        finally:
            os.close(w)
        number = b""
        deadline = time.monotonic() + 30
        try:
            while not number.endswith(b"\n"):
                left = deadline - time.monotonic()
                if left <= 0 or not select.select([r], [], [], left)[0]:
                    raise Failure("Xvfb did not report its display within 30 s")
                chunk = os.read(r, 16)
                if not chunk:
                    raise Failure("Xvfb ended before reporting its display")
                number += chunk
        finally:
            os.close(r)
        self.display = ":" + number.decode().strip()
        return self.display

    def x_env(self):
        env = dict(os.environ)
        env["DISPLAY"] = self.display
        env.pop("WAYLAND_DISPLAY", None)
        env.pop("XAUTHORITY", None)  # the display has no access control of its own
        return env

    def start_sim(self, options):
        """Starts the simulator on a free loopback port; returns the port."""
        self.sim = self._start("varno-sim", [self.sim_path, "--listen", "127.0.0.1:0"] + [str(o) for o in options])
        out = os.path.join(self.dir, "varno-sim.out")

        def address():
            with open(out, "rb") as f:
                line = f.readline()
            if line.endswith(b"\n"):
                return line.decode().strip()
            if self.sim.poll() is not None:
                raise Failure(f"varno-sim ended with status {self.sim.returncode} before listening")
            return None

        text = self.wait_for(address, 30, "the simulator's address")
        m = re.fullmatch(r"127\.\d+\.\d+\.\d+:(\d+)", text)
        if not m:
            raise Failure(f"varno-sim printed {text!r} instead of a loopback address")
        return int(m.group(1))

    def start_varno(self):
        env = self.x_env()
        env["QT_QPA_PLATFORM"] = "xcb"
        runtime = os.path.join(self.dir, "runtime")
        os.mkdir(runtime, 0o700)
        env["XDG_RUNTIME_DIR"] = runtime
        self.varno = self._start("varno", [self.varno_path], env=env, cwd=self.workdir)
        return self.varno

    # ---- the display ----

    def _run(self, argv, timeout=30):
        try:
            return subprocess.run(argv, env=self.x_env(), stdin=subprocess.DEVNULL, capture_output=True,
                                  text=True, timeout=timeout)
        except subprocess.TimeoutExpired:
            raise Failure(f"{argv[0]} {argv[1]} did not answer within {timeout} s") from None

    def xdo(self, *args):
        r = self._run(["xdotool"] + [str(a) for a in args])
        if r.returncode != 0:
            raise Failure(f"xdotool {' '.join(map(str, args))} failed: {r.stderr.strip()}")
        return r.stdout

    def visible_windows(self, *criteria):
        r = self._run(["xdotool", "search", "--onlyvisible"] + list(criteria))
        return r.stdout.split() if r.returncode == 0 else []

    def find_window(self, title, timeout=60):
        pattern = "^" + re.escape(title) + "$"
        return self.wait_for(lambda: (self.visible_windows("--name", pattern) or [None])[0], timeout,
                             f'the window "{title}"')

    def wait_window_gone(self, title, timeout=30):
        pattern = "^" + re.escape(title) + "$"
        self.wait_for(lambda: not self.visible_windows("--name", pattern), timeout, f'"{title}" to close')

    def focus(self, window):
        # Without a window manager nobody else gives the keyboard focus.
        self.xdo("windowfocus", "--sync", window)

    def click(self, window, x, y):
        self.xdo("mousemove", "--sync", "--window", window, x, y, "click", "1")

    def click_centre(self, window, rect):
        self.click(window, rect.x + rect.w // 2, rect.y + rect.h // 2)

    def screenshot(self, window, path):
        """Captures the window as a PPM file and returns its pixels."""
        r = self._run(["import", "-window", window, "-depth", "8", "ppm:" + path])
        if r.returncode != 0:
            raise Failure(f"import failed: {r.stderr.strip()}")
        return read_ppm(path)

    # ---- what the operator does ----

    def choose_tcp_ip(self, main, port, host="127.0.0.1"):
        """Port list → "TCP/IP", then the settings dialog: address, port, OK."""
        self.focus(main)
        combo = self.controls["PortList"]
        popups = len(self.visible_windows("--class", "varno"))
        self.click(main, combo.x + combo.w - 8, combo.y + combo.h // 2)  # the drop-down arrow
        self.wait_for(lambda: len(self.visible_windows("--class", "varno")) > popups, 20, "the port list to drop down")
        # "TCP/IP" sorts after every device path ("/dev/..."): the last entry.
        self.xdo("key", "End", "Return")
        dialog = self.find_window(TCP_TITLE, 30)
        self.focus(dialog)
        address = self.tcp_controls["addressControl"]
        self.click(dialog, address.x + address.w // 8, address.y + address.h // 2)  # its first field
        self.xdo("key", "ctrl+a")
        self.xdo("type", "--delay", "30", host)
        self.click_centre(dialog, self.tcp_controls["portEdit"])
        self.xdo("key", "ctrl+a")
        self.xdo("type", "--delay", "30", str(port))
        self.click_centre(dialog, self.tcp_controls["ok"])
        self.wait_window_gone(TCP_TITLE)

    def log_files(self):
        return sorted(glob.glob(os.path.join(self.workdir, "VARNO_*.csv")))

    def start_logging(self, main):
        """Presses "Enregister" and returns the log file that appears, once its header is in."""
        self.click_centre(main, self.controls["Log"])

        def written():
            files = self.log_files()
            return files[0] if files and os.path.getsize(files[0]) >= 94 else None

        return self.wait_for(written, 30, "the log file and its header")

    def open_link(self, main):
        self.click_centre(main, self.controls["Open"])

    def close_window(self, main, timeout=30):
        """Escape, as the operator would; returns VARNO's exit status."""
        self.focus(main)
        self.xdo("key", "Escape")
        return self.wait_exit("varno", timeout)

    def plot_area(self):
        """The inner part of the chart's plot in window pixels: clear of the
        value labels on the left, the trigger line along the top and the
        legend and axis texts along the bottom."""
        f = self.controls["ChartFrame"]
        return Rect(f.x + 60, f.y + 16, f.w - 80, f.h - 66)


def line_count(path):
    with open(path, "rb") as f:
        return f.read().count(b"\r\n")
