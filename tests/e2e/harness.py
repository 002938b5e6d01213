"""Drives the real scanbench under a private Xvfb display with real X input (xdotool).

A Bench copies the built program, libzorix.so and the sample board files into a fresh temporary
folder, starts the program there with another temporary folder as working directory, and acts
as the operator: it reads the title, clicks controls at their client-area coordinates and closes
message boxes. What X cannot show (edit lines, labels, the text of a box) comes from the
program's test trace (SCANBENCH_TRACE); what the simulated board delivered comes from its dump
(ZORIX_DUMP), which the independent expected_log tool turns into the expected Data.Txt.

Only the standard library is used. Every wait has a deadline, and only the processes started
here are ever signalled.
"""

import ctypes
import os
import re
import select
import shutil
import signal
import subprocess
import tempfile
import threading
import time
from pathlib import Path

PROGRAM = "scanbench"
PROGRAM_FILES = (PROGRAM, "libzorix.so", "SYSTEM.DAT", "KORVA.ELF")
ONLINE_TITLE = PROGRAM + " - Online Mode"
LOG_NAME = "Data.Txt"

# Client-area rectangles (left, top, width, height) from the form.
BU_SCAN_START = (4, 12, 75, 21)
CB_ENDLESS_SCAN = (4, 44, 97, 17)
CB_WAIT_FOR_STROBE = (100, 44, 97, 17)
CB_PHYS_MEM = (100, 64, 97, 17)
BU_CLEAR_USER = (208, 8, 75, 25)
# sbTimeFactor is at (4, 300, 317, 17); its arrow buttons take ~17 pixels at either end.
SB_RIGHT_ARROW = (4 + 317 - 8, 300 + 8)
SB_LEFT_ARROW = (4 + 8, 300 + 8)
# Smallest client area that holds every control; message boxes are smaller than this.
MIN_MAIN_SIZE = (321, 317)

# Clicks on one spot closer than this become a double click (Qt's default is 400 ms).
DOUBLE_CLICK_GAP = 0.6

SANITIZER_MARKERS = (b"ERROR: AddressSanitizer", b"runtime error:", b"ERROR: LeakSanitizer",
                     b"SUMMARY: UndefinedBehaviorSanitizer")


class Failure(Exception):
    """A check of the scenario did not hold."""


def check(condition, message):
    if not condition:
        raise Failure(message)


def centre(rect):
    return rect[0] + rect[2] // 2, rect[1] + rect[3] // 2


def unescape(text):
    out, i = [], 0
    while i < len(text):
        c = text[i]
        if c == "\\" and i + 1 < len(text):
            nxt = text[i + 1]
            out.append({"n": "\n", "t": "\t", "r": "\r", "\\": "\\"}.get(nxt, "\\" + nxt))
            i += 2
        else:
            out.append(c)
            i += 1
    return "".join(out)


class Xvfb:
    """A private X server; -displayfd lets it pick a free display itself, so parallel runs
    never race for a number."""

    def __init__(self, timeout=20.0):
        rd, wr = os.pipe()
        self.proc = subprocess.Popen(
            ["Xvfb", "-displayfd", str(wr), "-screen", "0", "1920x1200x24", "-noreset",
             "-nolisten", "tcp"],
            pass_fds=(wr,), stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL, start_new_session=True)
        os.close(wr)
        number = b""
        deadline = time.monotonic() + timeout
        try:
            while not number.endswith(b"\n"):
                left = deadline - time.monotonic()
                if left <= 0 or not select.select([rd], [], [], left)[0]:
                    raise Failure("Xvfb did not report a display within %.0f s" % timeout)
                chunk = os.read(rd, 16)
                if not chunk:
                    raise Failure("Xvfb ended before it reported a display")
                number += chunk
        except BaseException:
            self.stop()
            raise
        finally:
            os.close(rd)
        self.display = ":" + number.decode().strip()

    def stop(self):
        if self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(5)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait(5)


class _XClientMessage(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("window", ctypes.c_ulong),
                ("message_type", ctypes.c_ulong), ("format", ctypes.c_int),
                ("data", ctypes.c_long * 5)]


class _XEvent(ctypes.Union):
    _fields_ = [("xclient", _XClientMessage), ("pad", ctypes.c_long * 24)]


def send_wm_delete(display, window):
    """What a window manager sends when the operator closes a window (there is none here)."""
    x11 = ctypes.CDLL("libX11.so.6")
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XInternAtom.restype = ctypes.c_ulong
    x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    x11.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                               ctypes.POINTER(_XEvent)]
    x11.XFlush.argtypes = [ctypes.c_void_p]
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
    dpy = x11.XOpenDisplay(display.encode())
    check(dpy, "cannot open X display " + display)
    try:
        ev = _XEvent()
        ev.xclient.type = 33  # ClientMessage
        ev.xclient.window = window
        ev.xclient.message_type = x11.XInternAtom(dpy, b"WM_PROTOCOLS", 0)
        ev.xclient.format = 32
        ev.xclient.data[0] = x11.XInternAtom(dpy, b"WM_DELETE_WINDOW", 0)
        ev.xclient.data[1] = 0  # CurrentTime
        x11.XSendEvent(dpy, window, 0, 0, ctypes.byref(ev))
        x11.XFlush(dpy)
    finally:
        x11.XCloseDisplay(dpy)


class Bench:
    """One program run on its own display, in its own folders."""

    def __init__(self, bin_dir, oracle, name, slow=1.0, keep=False):
        self.bin_dir = Path(bin_dir)
        self.oracle = oracle
        self.slow = slow
        self.keep = keep
        self.root = Path(tempfile.mkdtemp(prefix="scanbench-%s-" % name))
        self.app_dir = self.root / "app"
        self.work_dir = self.root / "work"
        self.app_dir.mkdir()
        self.work_dir.mkdir()
        self.runtime_dir = self.root / "runtime"
        self.runtime_dir.mkdir(mode=0o700)
        for f in PROGRAM_FILES:
            shutil.copy2(self.bin_dir / f, self.app_dir / f)
        self.trace_path = self.root / "trace.txt"
        self.dump_path = self.root / "dump.bin"
        self.output_path = self.root / "output.txt"
        self.x = None
        self.proc = None
        self.window = None
        self._last_click = (None, 0.0)
        self._dump_copier = None
        self._failed = False

    # --- lifetime -------------------------------------------------------------------------

    def __enter__(self):
        self.x = Xvfb(timeout=20 * self.slow)
        return self

    def __exit__(self, exc_type, exc, tb):
        self._failed = exc_type is not None
        if self.proc is not None and self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait(10)
        if self.x is not None:
            self.x.stop()
        if self._failed or self.keep:
            print("files kept in", self.root)
            if self.output_path.exists():
                tail = self.output_path.read_bytes()[-4000:]
                print("program output (tail):\n" + tail.decode(errors="replace"))
        else:
            shutil.rmtree(self.root, ignore_errors=True)
        return False

    def t(self, seconds):
        """A deadline scaled for slow (sanitizer) builds."""
        return seconds * self.slow

    def launch(self, faults=None, lc_all="C", fsize_blocks=None, dump=True, extra_env=None,
               wait_online=True):
        check(self.proc is None or self.proc.poll() is not None, "the last run still runs")
        # The trace and the dump belong to one run of the program.
        self.trace_path.unlink(missing_ok=True)
        self.dump_path.unlink(missing_ok=True)
        env = {
            "PATH": os.environ.get("PATH", "/usr/bin:/bin"),
            "HOME": str(self.root),
            "XDG_RUNTIME_DIR": str(self.runtime_dir),
            "DISPLAY": self.x.display,
            "QT_QPA_PLATFORM": "xcb",
            "LC_ALL": lc_all,
            "LANG": lc_all,
            "SCANBENCH_TRACE": str(self.trace_path),
            "ASAN_OPTIONS": "detect_leaks=1",
            "LSAN_OPTIONS": "suppressions=" + str(Path(__file__).resolve().parent / "lsan.supp"),
            "UBSAN_OPTIONS": "print_stacktrace=1:halt_on_error=1",
        }
        if dump:
            env["ZORIX_DUMP"] = str(self.dump_path)
            if fsize_blocks is not None:
                # A pipe is not subject to the file-size limit that is meant for Data.Txt.
                env["ZORIX_DUMP"] = str(self._dump_through_pipe())
        if faults is not None:
            script = self.root / "faults.txt"
            script.write_text(faults)
            env["ZORIX_FAULTS"] = str(script)
        env.update(extra_env or {})
        exe = str(self.app_dir / PROGRAM)
        cmd = [exe]
        if fsize_blocks is not None:
            # exec keeps the pid, so the process signalled later is the program itself.
            cmd = ["bash", "-c", 'ulimit -f %d && exec "$0"' % fsize_blocks, exe]
        out = open(self.output_path, "wb")
        self.proc = subprocess.Popen(cmd, cwd=self.work_dir, env=env, stdin=subprocess.DEVNULL,
                                     stdout=out, stderr=subprocess.STDOUT,
                                     start_new_session=True)
        out.close()
        self.window = self.find_main_window(self.t(20))
        if wait_online:
            self.wait_title(ONLINE_TITLE, self.t(20))

    def _dump_through_pipe(self):
        fifo = self.root / "dump.fifo"
        fifo.unlink(missing_ok=True)
        os.mkfifo(fifo)

        def copy():
            with open(fifo, "rb") as src, open(self.dump_path, "wb") as dst:
                shutil.copyfileobj(src, dst)
        # Blocks until the board's first read opens the pipe; ends when the program does.
        self._dump_copier = threading.Thread(target=copy, daemon=True)
        self._dump_copier.start()
        return fifo

    # --- X access -------------------------------------------------------------------------

    def xdo(self, *args, timeout=10.0, ok_codes=(0,)):
        env = dict(os.environ, DISPLAY=self.x.display)
        r = subprocess.run(["xdotool"] + [str(a) for a in args], env=env, capture_output=True,
                           timeout=timeout * self.slow)
        if r.returncode not in ok_codes:
            raise Failure("xdotool %s failed: %s" % (" ".join(map(str, args)),
                                                     r.stderr.decode(errors="replace").strip()))
        return r.stdout.decode(errors="replace")

    def _alive(self):
        check(self.proc.poll() is None,
              "%s ended unexpectedly with %s" % (PROGRAM, self.proc.returncode))

    def windows(self, name_regex=None):
        """Visible windows on this display, optionally those whose title matches."""
        args = ["search", "--onlyvisible"]
        args += ["--name", name_regex] if name_regex else ["--pid", self.proc.pid]
        out = self.xdo(*args, ok_codes=(0, 1))
        return [int(w) for w in out.split()]

    def geometry(self, window):
        out = self.xdo("getwindowgeometry", "--shell", window, ok_codes=(0, 1))
        values = dict(line.split("=", 1) for line in out.split() if "=" in line)
        return int(values.get("WIDTH", 0)), int(values.get("HEIGHT", 0))

    def name(self, window):
        return self.xdo("getwindowname", window, ok_codes=(0, 1)).rstrip("\n")

    def find_main_window(self, timeout):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            self._alive()
            for w in self.windows():
                width, height = self.geometry(w)
                if width >= MIN_MAIN_SIZE[0] and height >= MIN_MAIN_SIZE[1]:
                    return w
            time.sleep(0.1)
        raise Failure("no main window of %s within %.0f s" % (PROGRAM, timeout))

    def title(self):
        return self.name(self.window)

    def wait_title(self, expected, timeout=10.0):
        """expected: a text or a compiled regex that must match the whole title."""
        deadline = time.monotonic() + self.t(timeout)
        title = None
        while time.monotonic() < deadline:
            self._alive()
            title = self.title()
            if (expected.fullmatch(title) if isinstance(expected, re.Pattern)
                    else title == expected):
                return title
            time.sleep(0.05)
        raise Failure("title is %r, expected %r" % (title, expected))

    def click(self, where, window=None):
        """where: a control rectangle (its centre is clicked) or a client-area point."""
        x, y = centre(where) if len(where) == 4 else where
        window = window or self.window
        spot, at = self._last_click
        gap = time.monotonic() - at
        if spot == (window, x, y) and gap < DOUBLE_CLICK_GAP:
            time.sleep(DOUBLE_CLICK_GAP - gap)
        self._alive()
        self.xdo("mousemove", "--window", window, x, y, "click", "1")
        # Park the pointer off the window so no hover or drag follows the click.
        self.xdo("mousemove", "0", "0")
        self._last_click = ((window, x, y), time.monotonic())

    def wait_box(self, caption, timeout=10.0):
        regex = "^" + re.escape(caption) + "$"
        deadline = time.monotonic() + self.t(timeout)
        while time.monotonic() < deadline:
            self._alive()
            found = [w for w in self.windows(regex) if w != self.window]
            if found:
                return found[0]
            time.sleep(0.05)
        raise Failure("no message box %r within %.0f s" % (caption, self.t(timeout)))

    def box_open(self, caption):
        return bool([w for w in self.windows("^" + re.escape(caption) + "$") if w != self.window])

    def close_box(self, box, timeout=10.0):
        """Presses Return in the box (its OK button has the focus), as the operator would."""
        deadline = time.monotonic() + self.t(timeout)
        while time.monotonic() < deadline:
            self._alive()
            if box not in self.windows():
                return
            self.xdo("windowfocus", box, ok_codes=(0, 1))
            self.xdo("key", "Return", ok_codes=(0, 1))
            end = time.monotonic() + 1.0
            while time.monotonic() < end:
                if box not in self.windows():
                    return
                time.sleep(0.05)
        raise Failure("message box %d did not close" % box)

    def close_window(self):
        send_wm_delete(self.x.display, self.window)

    # --- program ----------------------------------------------------------------------------

    def send_signal(self, sig):
        self._alive()
        os.kill(self.proc.pid, sig)

    def wait_exit(self, timeout=10.0):
        try:
            rc = self.proc.wait(self.t(timeout))
        except subprocess.TimeoutExpired:
            raise Failure("%s did not end within %.0f s" % (PROGRAM, self.t(timeout)))
        if self._dump_copier is not None:
            self._dump_copier.join(self.t(10))
            self._dump_copier = None
        return rc

    def output(self):
        return self.output_path.read_bytes() if self.output_path.exists() else b""

    def check_no_sanitizer_report(self):
        out = self.output()
        for marker in SANITIZER_MARKERS:
            check(marker not in out, "sanitizer report in the program output: %s" % marker)

    def end_orderly(self, timeout=10.0):
        """Closes the window and requires a clean exit with code 0."""
        self.close_window()
        rc = self.wait_exit(timeout)
        check(rc == 0, "exit code %s after closing the window" % rc)
        self.check_no_sanitizer_report()

    # --- trace, dump and log --------------------------------------------------------------

    def trace(self):
        """The trace as tuples: ("title", text), ("text", control, text), ("box", caption,
        text)."""
        if not self.trace_path.exists():
            return []
        entries = []
        # The last piece is empty, or a line the program is still writing.
        for line in self.trace_path.read_bytes().split(b"\n")[:-1]:
            line = line.decode("utf-8")
            kind, _, rest = line.partition("\t")
            if kind == "title":
                entries.append(("title", unescape(rest)))
            elif kind in ("text", "box"):
                first, _, second = rest.partition("\t")
                entries.append((kind, first, unescape(second)))
        return entries

    def texts(self, control):
        return [e[2] for e in self.trace() if e[0] == "text" and e[1] == control]

    def boxes(self):
        return [(e[1], e[2]) for e in self.trace() if e[0] == "box"]

    def wait_trace(self, predicate, what, timeout=10.0):
        deadline = time.monotonic() + self.t(timeout)
        while time.monotonic() < deadline:
            entries = self.trace()
            if predicate(entries):
                return entries
            self._alive()
            time.sleep(0.05)
        raise Failure("the trace never showed " + what)

    def oracle_run(self, *args):
        r = subprocess.run([self.oracle] + list(args) + [str(self.dump_path)],
                           capture_output=True, timeout=60)
        check(r.returncode == 0, "expected_log failed: " + r.stderr.decode(errors="replace"))
        return r.stdout

    def expected_log(self):
        return self.oracle_run()

    def delivered(self):
        """(records delivered, expected summary box text) from the dump."""
        out = self.oracle_run("--summary").decode()
        count, _, summary = out.partition("\n")
        return int(count), summary

    def log_path(self):
        return self.work_dir / LOG_NAME

    def log_bytes(self):
        return self.log_path().read_bytes()
