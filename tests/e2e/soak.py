#!/usr/bin/env python3
"""Soak run of scanbench: an endless scan at the simulated board's default time factor for a
given number of minutes, driven through the real window under Xvfb.

    soak.py --minutes N --bin DIR --oracle PATH [--keep]

Prints records delivered (by the board), records logged (lines in Data.Txt), gaps in the
sequence numbers of column 1, spool overflows and resident memory after the first minute and
at the end. Fails (exit 1) unless delivered = logged, no gaps, no overflows and the memory grew
by less than 1 MiB after the first minute.
"""

import argparse
import os
import re
import struct
import sys
import threading
import time
from pathlib import Path

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, str(Path(__file__).resolve().parent))
from harness import BU_SCAN_START, Bench, Failure, check  # noqa: E402

SUMMARY_CAPTION = "Messergebnis"
WARM_UP_SECONDS = 60
MAX_GROWTH_KIB = 1024
SPOOL_OVERFLOW = 0x10  # status bit, sticky until the next start


def rss_kib(pid):
    for line in Path("/proc/%d/status" % pid).read_text().splitlines():
        if line.startswith("VmRSS:"):
            return int(line.split()[1])
    raise Failure("no VmRSS for pid %d" % pid)


SEQUENCE_RE = re.compile(rb"^ *(-?\d+)\t", re.M)


def scan_log(path):
    """(lines, gaps, whole) of Data.Txt: a gap is any line whose sequence number is not one more
    than the line before it, the first being 0; whole is False when the file ends mid-line."""
    lines = gaps = 0
    expected = 0
    tail = b""
    with open(path, "rb") as f:
        while True:
            chunk = f.read(1 << 24)
            if not chunk:
                break
            data = tail + chunk
            cut = data.rfind(b"\r\n") + 2
            data, tail = data[:cut], data[cut:]
            count = data.count(b"\r\n")
            seqs = [int(x) for x in SEQUENCE_RE.findall(data)]
            check(len(seqs) == count, "a line of Data.Txt without a sequence number")
            if seqs != list(range(expected, expected + count)):
                for seq in seqs:
                    gaps += seq != expected
                    expected = seq + 1
            expected = seqs[-1] + 1 if seqs else expected
            lines += count
    return lines, gaps, tail == b""


class DumpCounter(threading.Thread):
    """Reads the board's dump through a FIFO as it is written and keeps only counts: half an
    hour at 20,000 records per second would be 2.6 GB on disk. Counts what the program may log
    (the same rule as expected_log) and the gaps in the sequence numbers delivered."""

    def __init__(self, path):
        super().__init__(daemon=True)
        self.path = path
        self.records = 0
        self.gaps = 0
        self.reads = 0
        self.max_left = 0  # most records left in the spool after a read
        self.error = None
        os.mkfifo(path)

    def run(self):
        try:
            with open(self.path, "rb", buffering=0) as f:
                self._consume(f)
        except Exception as e:  # reported by the caller
            self.error = e

    def _exactly(self, f, n):
        parts, left = [], n
        while left:
            chunk = f.read(min(left, 1 << 20))
            if not chunk:
                if left == n:
                    return None
                raise Failure("the dump ends inside a read")
            parts.append(chunk)
            left -= len(chunk)
        return b"".join(parts)

    def _consume(self, f):
        expected = 0
        while True:
            header = self._exactly(f, 16)
            if header is None:
                return
            tag, returned, capacity, placed = struct.unpack("<4s3i", header)
            check(tag == b"PULL" and 0 < placed <= capacity, "bad dump frame")
            data = self._exactly(f, placed)
            self.reads += 1
            count = returned // 72 if 0 < returned <= capacity else 0
            if count == 0:
                continue
            self.max_left = max(self.max_left, struct.unpack_from("<i", data, 0)[0])
            first = struct.unpack_from("<i", data, 4)[0]
            last = struct.unpack_from("<i", data, 4 + 72 * (count - 1))[0]
            self.gaps += (first != expected) + (last != first + count - 1)
            expected = last + 1
            self.records += count


def run(b, minutes):
    fifo = b.root / "dump.fifo"
    counter = DumpCounter(fifo)
    counter.start()
    b.launch(dump=False, extra_env={"ZORIX_DUMP": str(fifo)})
    b.click(BU_SCAN_START)
    b.wait_trace(lambda t: ("text", "buScanStart", "Scan Stop") in t, "the caption Scan Stop")
    started = time.monotonic()
    total = minutes * 60.0
    warm = min(WARM_UP_SECONDS, total / 2)
    time.sleep(warm)
    rss_start = rss_kib(b.proc.pid)
    while time.monotonic() - started < total:
        time.sleep(min(10.0, max(0.0, total - (time.monotonic() - started))))
        b._alive()
    rss_end = rss_kib(b.proc.pid)
    b.click(BU_SCAN_START)
    box = b.wait_box(SUMMARY_CAPTION, timeout=60)
    summary = b.boxes()[-1][1]
    b.close_box(box)
    statuses = set(b.texts("laScannerStatus"))
    b.end_orderly(timeout=60)
    counter.join(60)
    check(not counter.is_alive(), "the dump reader did not finish")
    check(counter.error is None, "dump: %s" % counter.error)
    overflows = sum(1 for s in statuses if s and int(s, 16) & SPOOL_OVERFLOW)
    logged, gaps, whole = scan_log(b.log_path())
    growth = rss_end - rss_start
    print("soak: %.1f minutes of endless scan at time factor 1" % minutes)
    print("records delivered:  %d in %d reads (at most %d left in the spool after a read)" % (
        counter.records, counter.reads, counter.max_left))
    print("records logged:     %d" % logged)
    print("records counted:    %s" % summary.split(" ", 1)[0])
    print("sequence gaps:      %d in Data.Txt, %d in what the board delivered" % (
        gaps, counter.gaps))
    print("spool overflows:    %d status words with the overflow bit" % overflows)
    print("resident memory:    %d KiB after %.0f s, %d KiB at the end (%+d KiB)" % (
        rss_start, warm, rss_end, growth))
    check(whole, "Data.Txt ends in half a line")
    check(counter.records > 0, "the board delivered nothing")
    check(counter.records == logged, "delivered %d != logged %d" % (counter.records, logged))
    check(gaps == 0 and counter.gaps == 0, "gaps in the sequence numbers")
    check(overflows == 0, "the spool overflowed")
    check(growth < MAX_GROWTH_KIB, "resident memory grew by %d KiB" % growth)


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--minutes", type=float, required=True)
    parser.add_argument("--bin", required=True)
    parser.add_argument("--oracle", required=True)
    parser.add_argument("--keep", action="store_true")
    args = parser.parse_args()
    try:
        with Bench(args.bin, args.oracle, "soak", keep=args.keep) as b:
            run(b, args.minutes)
    except Failure as e:
        print("soak FAILED:", e)
        return 1
    print("soak passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
