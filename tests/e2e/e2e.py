#!/usr/bin/env python3
"""End-to-end scenarios of scanbench: the real program and the real simulated board on a
private Xvfb display, driven by real X input.

    e2e.py SCENARIO --bin DIR --oracle PATH [--slow FACTOR] [--keep]

Exit codes: 0 passed, 1 failed, 77 skipped (a tool the run needs is missing; the reason is
printed).
"""

import argparse
import os
import re
import shutil
import signal
import subprocess
import sys
import time
from pathlib import Path

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, str(Path(__file__).resolve().parent))
from harness import (  # noqa: E402
    BU_CLEAR_USER, BU_SCAN_START, CB_ENDLESS_SCAN, CB_PHYS_MEM, CB_WAIT_FOR_STROBE, LOG_NAME,
    ONLINE_TITLE, PROGRAM, SB_LEFT_ARROW, SB_RIGHT_ARROW, Bench, Failure, check)

SUMMARY_CAPTION = "Messergebnis"
PULL_ERROR_CAPTION = "Fehler beim Scan"
ERROR_CAPTION = "Error"
STATUS_WAITING_FOR_STROBE = 0x02
LOST_RE = re.compile(r"Data\.Txt: (.+) - (\d+) records? not logged")
READ_TIME_RE = re.compile(r"Lesezeit: (-?\d+) ms # (-?\d+) Bytes read! (Rate: -?\d+\.\d MB/s )?")
GERMAN = "de_DE.UTF-8"

SCENARIOS = {}


def scenario(fn):
    SCENARIOS[fn.__name__] = fn
    return fn


# --- steps shared by the scenarios ----------------------------------------------------------

def start_endless(b):
    b.click(BU_SCAN_START)
    b.wait_trace(lambda t: ("text", "buScanStart", "Scan Stop") in t, "the caption Scan Stop")


def wait_records(b, at_least, timeout=10.0):
    """Waits until laScanned shows at least this many records."""
    def enough(entries):
        shown = [e[2] for e in entries if e[0] == "text" and e[1] == "laScanned"]
        return bool(shown) and shown[-1].isdigit() and int(shown[-1]) >= at_least
    b.wait_trace(enough, "laScanned reach %d" % at_least, timeout)


def stop_and_read_summary(b):
    """Presses Scan Stop and closes the summary box; returns the box's text from the trace."""
    b.click(BU_SCAN_START)
    box = b.wait_box(SUMMARY_CAPTION)
    entries = b.wait_trace(lambda t: any(e[0] == "box" and e[1] == SUMMARY_CAPTION for e in t),
                           "the summary box")
    b.close_box(box)
    return [e[2] for e in entries if e[0] == "box" and e[1] == SUMMARY_CAPTION][-1]


def check_log_matches_dump(b):
    """Every record the board delivered is in Data.Txt, as the reference formats it."""
    expected = b.expected_log()
    actual = b.log_bytes()
    check(expected, "the board delivered no records")
    if actual != expected:
        exp_lines, act_lines = expected.split(b"\r\n"), actual.split(b"\r\n")
        first = next((i for i, (e, a) in enumerate(zip(exp_lines, act_lines)) if e != a),
                     min(len(exp_lines), len(act_lines)))
        raise Failure("Data.Txt differs from the reference at line %d of %d/%d: %r vs %r" % (
            first + 1, len(act_lines) - 1, len(exp_lines) - 1,
            act_lines[first:first + 1], exp_lines[first:first + 1]))
    return expected.count(b"\r\n")


def reported_loss(text):
    m = LOST_RE.search(text)
    check(m, "no loss report in %r" % text)
    return m.group(1), int(m.group(2))


# --- scenarios --------------------------------------------------------------------------------

ALTLIB = None  # set from --altlib


@scenario
def library_binding(b):
    # Another libzorix.so beside the executable is the one that gets called: its own numbers.
    check(ALTLIB, "--altlib not given")
    shutil.copy2(b.bin_dir / "libzorix.so", b.root / "libzorix.so")
    shutil.copy2(ALTLIB, b.app_dir / "libzorix.so")
    b.launch(dump=False, wait_online=False)
    b.wait_title("Error 4242 at booting!")
    b.end_orderly()

    # The simulated board again, but its system file renamed away: its documented number.
    shutil.copy2(b.root / "libzorix.so", b.app_dir / "libzorix.so")
    (b.app_dir / "SYSTEM.DAT").rename(b.app_dir / "SYSTEM.DAT.away")
    b.launch(dump=False, wait_online=False)
    b.wait_title("Error 103 at Initialize!")
    b.end_orderly()

    # Without any libzorix.so the program does not start.
    (b.app_dir / "libzorix.so").unlink()
    run = subprocess.run([str(b.app_dir / PROGRAM)], cwd=b.work_dir, capture_output=True,
                         env={"PATH": os.environ.get("PATH", "/usr/bin:/bin"),
                              "DISPLAY": b.x.display},
                         timeout=b.t(20))
    check(run.returncode != 0 and b"libzorix.so" in run.stderr,
          "started without its library: exit %d, %r" % (run.returncode, run.stderr[-300:]))


@scenario
def first_start(b):
    ini = b.app_dir / (PROGRAM + ".INI")
    check(not ini.exists(), "the copied folder already holds a settings file")
    b.launch()
    titles = [e[1] for e in b.trace() if e[0] == "title"]
    check("Booting ..." in titles and titles.index("Booting ...") < titles.index(ONLINE_TITLE),
          "the simulated board was not booted on the way online: titles %r" % titles)
    folder = str(b.app_dir) + "/"
    lines = [ln.rstrip("\r") for ln in ini.read_text().splitlines() if ln.strip()]
    check(lines == ["[MCU]", "BaseAdress=768", "SystemFileName=" + folder + "SYSTEM.DAT",
                    "BootFileName=" + folder + "KORVA.ELF"],
          "first settings file is %r" % lines)
    check(not list(b.work_dir.iterdir()), "the first start left files in the working folder")
    b.end_orderly()

    # A second start finds its settings and leaves them as they are.
    written = ini.read_bytes()
    b.launch()
    check(ini.read_bytes() == written, "the second start changed the settings file")
    b.end_orderly()


@scenario
def endless(b):
    b.launch()
    start_endless(b)
    check(b.texts("laRecordSize")[-1:] == ["72"], "laRecordSize shows %r" % b.texts("laRecordSize"))
    wait_records(b, 1)
    # Long enough for the tick to pull several batches.
    time.sleep(1.5)
    summary = stop_and_read_summary(b)
    count, expected_summary = b.delivered()
    check(summary == expected_summary, "summary %r, expected %r" % (summary, expected_summary))
    check_log_matches_dump(b)
    check(b.texts("laScanned")[-1] == str(count), "laScanned ends at %r, %d delivered" % (
        b.texts("laScanned")[-1], count))
    check(b.texts("buScanStart")[-1] == "Scan Start", "the button did not return to Scan Start")
    check(b.title() == ONLINE_TITLE, "the scan changed the title to %r" % b.title())
    b.end_orderly()


@scenario
def single_shot(b):
    b.launch()
    b.click(CB_ENDLESS_SCAN)  # untick: a single shot
    b.click(BU_SCAN_START)
    entries = b.wait_trace(
        lambda t: any(e[0] == "text" and e[1] == "Edit1" and READ_TIME_RE.fullmatch(e[2])
                      for e in t), "the read time in Edit1", timeout=30)
    read_time = [e[2] for e in entries if e[0] == "text" and e[1] == "Edit1"][-1]
    nbytes = int(READ_TIME_RE.fullmatch(read_time).group(2))
    b.wait_trace(lambda t: ("text", "buScanStart", "Scan Start") in t, "the caption Scan Start")
    check(nbytes == 4 + 72 * 2000, "single shot read %d bytes, expected 2000 records" % nbytes)
    lines = check_log_matches_dump(b)
    check(lines == 2000, "single shot logged %d lines" % lines)
    check(b.texts("edZusatzinfo")[-1] == "TimerAuflösung: 0.001 µs",
          "edZusatzinfo shows %r" % b.texts("edZusatzinfo")[-1])
    check(not b.boxes(), "a single shot showed boxes: %r" % b.boxes())
    b.end_orderly()


@scenario
def check_boxes(b):
    # Strobe wait and the physical-memory path: the probe's result is shown, the recorder
    # reports its wait for the strobe, and the records come through the probed path.
    for available, probe, note in ((True, "00010000", "rwPhysMem available!"),
                                   (False, "00010001", "rwPhysMem not available!")):
        b.launch(faults="physmem %savailable\n" % ("" if available else "un"))
        b.click(CB_PHYS_MEM)
        b.click(CB_WAIT_FOR_STROBE)
        start_endless(b)
        check(b.texts("Edit1")[-1] == probe, "probe shown as %r" % b.texts("Edit1")[-1])
        check(b.texts("edZusatzinfo")[-1] == note, "note %r" % b.texts("edZusatzinfo")[-1])
        wait_records(b, 1)
        statuses = [int(x, 16) for x in b.texts("laScannerStatus") if x]
        check(any(x & STATUS_WAITING_FOR_STROBE for x in statuses),
              "no status word showed the wait for the strobe: %r" % statuses)
        time.sleep(0.5)
        summary = stop_and_read_summary(b)
        check(summary == b.delivered()[1], "summary %r" % summary)
        check_log_matches_dump(b)
        check([c for c, _ in b.boxes()] == [SUMMARY_CAPTION], "boxes %r" % b.boxes())
        b.end_orderly()


@scenario
def negative_pull(b):
    b.launch(faults=FAULTS["negative_pull"])
    start_endless(b)
    summary_box = b.wait_box(SUMMARY_CAPTION, timeout=15)
    # The stop and its summary come first; the library's result only after it is closed.
    time.sleep(0.5)
    check(not b.box_open(PULL_ERROR_CAPTION), "the error box came before the summary was closed")
    b.close_box(summary_box)
    b.close_box(b.wait_box(PULL_ERROR_CAPTION))
    boxes = b.boxes()
    check([c for c, _ in boxes] == [SUMMARY_CAPTION, PULL_ERROR_CAPTION], "boxes %r" % boxes)
    check(boxes[1][1] == "Rückgabewert: %d" % NEGATIVE_PULL_RESULT, "error box %r" % boxes[1][1])
    _, expected_summary = b.delivered()
    check(boxes[0][1] == expected_summary, "summary %r, expected %r" % (boxes[0][1],
                                                                       expected_summary))
    check_log_matches_dump(b)
    check(b.texts("buScanStart")[-1] == "Scan Start", "the scan did not end")
    b.end_orderly()


@scenario
def service_controls(b):
    b.launch(faults=FAULTS["service_controls"])
    # At the left end a step changes nothing, so the title keeps the online text.
    b.click(SB_LEFT_ARROW)
    time.sleep(0.5)
    check(b.title() == ONLINE_TITLE, "a step left of 1 wrote the title %r" % b.title())
    b.click(SB_RIGHT_ARROW)
    b.wait_title("2")
    b.click(SB_RIGHT_ARROW)
    b.wait_title("3")
    b.click(SB_LEFT_ARROW)
    b.wait_title("2")
    b.click(BU_CLEAR_USER)
    b.wait_title(CLEAR_USER_TITLES[0])
    check(b.texts("Edit1")[-1] == "ClearServiceUsers siehe Titelzeile!",
          "Edit1 shows %r" % b.texts("Edit1")[-1])
    b.click(BU_CLEAR_USER)
    b.wait_title(CLEAR_USER_TITLES[1])
    b.end_orderly()


def loss_run(b, **launch_args):
    """An endless scan whose log loses data; returns (delivered, reported lost, box text)."""
    b.launch(**launch_args)
    start_endless(b)
    wait_records(b, 1)
    time.sleep(1.5)
    # The operator learns of the loss while the scan goes on.
    b.wait_trace(lambda t: any(e[0] == "text" and e[1] == "edZusatzinfo" and LOST_RE.search(e[2])
                               for e in t), "a loss report in edZusatzinfo")
    before = int(b.texts("laScanned")[-1])
    time.sleep(0.5)
    check(int(b.texts("laScanned")[-1]) > before, "the scan stopped counting after the loss")
    summary = stop_and_read_summary(b)
    b.end_orderly()
    count, _ = b.delivered()
    _, lost = reported_loss(summary)
    check(summary.startswith("%d Messungen: DP: " % count), "summary %r for %d records" % (
        summary, count))
    return count, lost, summary


@scenario
def disk_full(b):
    (b.work_dir / LOG_NAME).symlink_to("/dev/full")
    count, lost, summary = loss_run(b)
    # Nothing reaches /dev/full, so every record delivered must be counted as lost.
    check(lost == count, "%d records reported lost of %d delivered" % (lost, count))
    check("No space left on device" in summary, "the reason is missing from %r" % summary)


@scenario
def file_size_limit(b):
    # In 1024-byte blocks: Data.Txt reaches it within a fraction of a second, the program's
    # trace not for minutes.
    blocks = 256
    count, lost, summary = loss_run(b, fsize_blocks=blocks)
    data = b.log_bytes()
    check(len(data) <= blocks * 1024, "the file outgrew the limit")
    check(data.endswith(b"\r\n"), "the file ends in half a line: %r" % data[-40:])
    lines = data.count(b"\r\n")
    check(b.expected_log().startswith(data), "the lines in the file are not the first delivered")
    check(lines + lost == count, "%d lines + %d lost != %d delivered" % (lines, lost, count))
    check("File too large" in summary, "the reason is missing from %r" % summary)


@scenario
def log_unwritable(b):
    (b.work_dir / LOG_NAME).mkdir()
    b.launch()
    start_endless(b)
    # Told at the start, before a single record was pulled.
    b.wait_trace(lambda t: any(e[0] == "text" and e[1] == "edZusatzinfo" and LOST_RE.search(e[2])
                               for e in t), "a report that the log could not be opened")
    wait_records(b, 1)
    summary = stop_and_read_summary(b)
    b.end_orderly()
    count, _ = b.delivered()
    _, lost = reported_loss(summary)
    check(count > 0, "no records delivered")
    check(lost == count, "%d reported lost of %d delivered" % (lost, count))
    check(b.log_path().is_dir(), "the directory in the way of Data.Txt was replaced")


def end_during_scan(b, end):
    b.launch()
    start_endless(b)
    wait_records(b, 1)
    time.sleep(1.0)
    end(b)
    rc = b.wait_exit(5)
    check(rc == 0, "exit code %s" % rc)
    b.check_no_sanitizer_report()
    check_log_matches_dump(b)


@scenario
def close_during_scan(b):
    end_during_scan(b, lambda b: b.close_window())


@scenario
def signal_term(b):
    end_during_scan(b, lambda b: b.send_signal(signal.SIGTERM))


@scenario
def signal_int(b):
    end_during_scan(b, lambda b: b.send_signal(signal.SIGINT))


@scenario
def signal_hup(b):
    end_during_scan(b, lambda b: b.send_signal(signal.SIGHUP))


def shape(text):
    """A window text with every number reduced to its form: a status word becomes H, any other
    number (sign included) 9."""
    return re.sub(r"-?\d+", "9", re.sub(r"\b[0-9A-F]{8}\b", "H", text))


def locale_run(b, lc_all):
    """An endless scan with a slider step, then a single shot, each checked against the
    reference; returns the shapes of every text written to the window, by control."""
    shapes = {}

    def collect():
        for e in b.trace():
            shapes.setdefault("title" if e[0] == "title" else e[1], set()).add(shape(e[-1]))

    b.launch(lc_all=lc_all)
    start_endless(b)
    wait_records(b, 1)
    b.click(SB_RIGHT_ARROW)
    b.wait_title("2")
    time.sleep(1.0)
    summary = stop_and_read_summary(b)
    _, expected_summary = b.delivered()
    check(summary == expected_summary, "%s: summary %r, expected %r" % (lc_all, summary,
                                                                         expected_summary))
    check_log_matches_dump(b)
    b.end_orderly()
    collect()

    b.launch(lc_all=lc_all)
    b.click(CB_ENDLESS_SCAN)
    b.click(BU_SCAN_START)
    b.wait_trace(lambda t: ("text", "buScanStart", "Scan Start") in t, "the end of the shot",
                 timeout=30)
    check(b.texts("edZusatzinfo")[-1] == "TimerAuflösung: 0.001 µs",
          "%s: edZusatzinfo %r" % (lc_all, b.texts("edZusatzinfo")[-1]))
    check(READ_TIME_RE.fullmatch(b.texts("Edit1")[-1]), "%s: Edit1 %r" % (
        lc_all, b.texts("Edit1")[-1]))
    check_log_matches_dump(b)
    b.end_orderly()
    collect()
    return shapes


@scenario
def locale(b):
    available = subprocess.run(["locale", "-a"], capture_output=True, text=True).stdout.lower()
    if "de_de.utf8" not in available.split():
        raise Skip("the locale %s is not generated (tools/test generates it)" % GERMAN)
    c_shapes = locale_run(b, "C")
    de_shapes = locale_run(b, GERMAN)
    check(de_shapes == c_shapes, "window texts differ from the C locale: %r vs %r" % (
        de_shapes, c_shapes))
    for texts in de_shapes.values():
        for text in texts:
            check(not re.search(r"\d,\d", text), "a decimal comma in %r" % text)


def count_boxes_while(b, seconds):
    """The most message boxes open at one time during the next `seconds`."""
    most, deadline = 0, time.monotonic() + seconds
    while time.monotonic() < deadline:
        most = max(most, len([w for w in b.windows() if w != b.window]))
        time.sleep(0.05)
    return most


@scenario
def bad_byte_counts(b):
    # Odd counts log the whole records they hold; a count above what was asked for is refused
    # as a failed read, which stops the scan and names the count.
    b.launch(faults="pull 2 bytes 225\npull 3 bytes 71\npull 4 bytes 73\n"
                    "pull 6 bytes 200000\n")
    start_endless(b)
    b.close_box(b.wait_box(SUMMARY_CAPTION, timeout=15))
    b.close_box(b.wait_box(PULL_ERROR_CAPTION))
    check([x[1] for x in b.boxes() if x[0] == PULL_ERROR_CAPTION] == ["Rückgabewert: 200000"],
          "boxes %r" % b.boxes())
    _, expected_summary = b.delivered()
    check(b.boxes()[0][1] == expected_summary, "summary %r, expected %r" % (
        b.boxes()[0][1], expected_summary))
    check_log_matches_dump(b)
    b.end_orderly()

    # The single shot asks for 144,720 bytes; a larger count must not be read past the buffer.
    b.launch(faults="pull 1 bytes 2147483647\n")
    b.click(CB_ENDLESS_SCAN)
    b.click(BU_SCAN_START)
    b.wait_trace(lambda t: any(e[0] == "text" and e[1] == "Edit1" and "2147483647 Bytes read!"
                               in e[2] for e in t), "the oversize count in Edit1", timeout=30)
    b.wait_trace(lambda t: ("text", "buScanStart", "Scan Start") in t, "the end of the scan")
    check(b.log_bytes() == b"", "records of a refused read were logged")
    b.end_orderly()


@scenario
def bad_record_size(b):
    for size in (0, -72):
        # A record size the counter cannot divide by: the data is dropped, nothing is counted
        # or logged, the label shows what the board reported, and edZusatzinfo says so.
        b.launch(faults="recordsize %d\n" % size)
        start_endless(b)
        b.wait_trace(lambda t: any(e[0] == "text" and e[1] == "laScannerStatus" for e in t),
                     "a status poll")
        time.sleep(1.0)
        summary = stop_and_read_summary(b)
        check(b.texts("laRecordSize")[-1] == str(size), "laRecordSize %r for %d" % (
            b.texts("laRecordSize"), size))
        check(summary == "0 Messungen: DP: A1 = 0.000000 A2 = 0.000000 A3 = 0.000000\n",
              "summary %r for record size %d" % (summary, size))
        check(b.log_bytes() == b"", "record size %d logged records" % size)
        check(b.delivered()[0] > 0, "the board delivered nothing")
        told = b.texts("edZusatzinfo")
        check(told and re.fullmatch(r"Record Size %d: [1-9]\d* Bytes dropped" % size, told[-1]),
              "the operator was not told of the dropped data: %r" % told[-1:])
        b.end_orderly()


@scenario
def bad_status(b):
    # Every bit set in every status word: shown as it is, and the scan works as usual.
    b.launch(faults="status set 0xFFFFFFFF\n")
    start_endless(b)
    wait_records(b, 1)
    time.sleep(0.5)
    summary = stop_and_read_summary(b)
    check("FFFFFFFF" in b.texts("laScannerStatus"), "status shown %r" % set(
        b.texts("laScannerStatus")))
    check(summary == b.delivered()[1], "summary %r" % summary)
    check_log_matches_dump(b)
    b.end_orderly()

    # A stuck running bit and a stalled recorder: the single shot's wait would never end. The
    # operator ends it with Escape, and what was recorded is still read and logged.
    stuck = "status set 4\nstall time 20\n"
    b.launch(faults=stuck)
    b.click(CB_ENDLESS_SCAN)
    b.click(BU_SCAN_START)
    b.wait_trace(lambda t: any(e[0] == "text" and e[1] == "laCntr" and e[2].isdigit() and
                               int(e[2]) > 100 for e in t), "the wait loop running")
    b.xdo("windowfocus", b.window, ok_codes=(0, 1))
    b.xdo("key", "Escape")
    b.wait_trace(lambda t: any(e[0] == "text" and e[1] == "Edit1" and READ_TIME_RE.fullmatch(e[2])
                               for e in t), "the read after the cancelled wait")
    b.wait_title("Wait for the Scanner ended by the operator!")
    check_log_matches_dump(b)
    b.end_orderly()

    # The same wait ended by SIGTERM: the program ends, the log complete.
    b.launch(faults=stuck)
    b.click(CB_ENDLESS_SCAN)
    b.click(BU_SCAN_START)
    b.wait_trace(lambda t: any(e[0] == "text" and e[1] == "laCntr" and e[2].isdigit() and
                               int(e[2]) > 100 for e in t), "the wait loop running")
    b.send_signal(signal.SIGTERM)
    check(b.wait_exit(5) == 0, "exit code %s" % b.proc.returncode)
    b.check_no_sanitizer_report()
    check_log_matches_dump(b)


@scenario
def calls_fail(b):
    # Every call after the connection fails: each press reports the refused configuration, the
    # service controls still show their results, and the program stays usable.
    b.launch(faults="call wrOptionInt 2+ fail 201\ncall rdOptionInt 3+ fail 201\n"
                    "call rdOptionDbl 9+ fail 201\ncall rdScannerBuffer fail -201\n"
                    "call SendReqScannerBuffer fail -201\ncall CleanServiceUsers fail -1\n")
    for _ in range(2):
        b.click(BU_SCAN_START)
        b.close_box(b.wait_box(ERROR_CAPTION))
        check(b.boxes()[-1] == (ERROR_CAPTION, "Error at Initialize of Scanner!"),
              "box %r" % (b.boxes()[-1],))
    b.click(SB_RIGHT_ARROW)
    b.wait_title("2")
    b.click(BU_CLEAR_USER)
    b.wait_title("FFFFFFFF")
    check(not b.log_path().exists(), "a refused start opened the log")
    b.end_orderly()

    # Calls start failing in the middle of an endless scan, the stop included: each failed pull
    # reports the refused stop and then the pull's result, one box at a time, for as long as
    # the recorder will not stop. A signal still ends the program with the log complete.
    b.launch(faults="pull 5+ bytes -201\noption optScanRun 2+ fail 201\n"
                    "option optScanStatus 8+ fail 201\n")
    start_endless(b)
    b.close_box(b.wait_box(ERROR_CAPTION, timeout=15))
    b.close_box(b.wait_box(PULL_ERROR_CAPTION))
    check(b.boxes()[:2] == [(ERROR_CAPTION, "Error at Start of Scanner!"),
                            (PULL_ERROR_CAPTION, "Rückgabewert: -201")], "boxes %r" % b.boxes())
    check(count_boxes_while(b, 1.0) == 1, "boxes opened on top of each other")
    b.send_signal(signal.SIGTERM)
    check(b.wait_exit(5) == 0, "exit code %s" % b.proc.returncode)
    b.check_no_sanitizer_report()
    check_log_matches_dump(b)


class Skip(Exception):
    pass


# Fault scripts for the simulated board, by scenario.
FAULTS = {
    "negative_pull": "pull 3 bytes -5\n",
    "service_controls": "call CleanServiceUsers 2 result -1\n",
}
NEGATIVE_PULL_RESULT = -5
CLEAR_USER_TITLES = ("00000000", "FFFFFFFF")


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("scenario", choices=sorted(SCENARIOS))
    parser.add_argument("--bin", required=True, help="folder of the built scanbench")
    parser.add_argument("--oracle", required=True, help="the expected_log tool")
    parser.add_argument("--altlib", help="another libzorix.so, for library_binding")
    parser.add_argument("--slow", type=float, default=1.0, help="stretch every deadline")
    parser.add_argument("--keep", action="store_true", help="keep the temporary folders")
    args = parser.parse_args()
    global ALTLIB
    ALTLIB = args.altlib
    for tool in ("Xvfb", "xdotool"):
        if not shutil.which(tool):
            print("SKIPPED: %s is not installed (tools/test installs it)" % tool)
            return 77
    try:
        with Bench(args.bin, args.oracle, args.scenario, args.slow, args.keep) as b:
            SCENARIOS[args.scenario](b)
    except Skip as e:
        print("SKIPPED:", e)
        return 77
    except Failure as e:
        print("FAILED: %s: %s" % (args.scenario, e))
        return 1
    print("passed:", args.scenario)
    return 0


if __name__ == "__main__":
    sys.exit(main())
