#!/usr/bin/env python3
"""Times each crafted message of the bounded-work set at two sizes, N and 2N, through
tessaly-cli, with the peak resident memory of its whole process tree (the worker and the
HTML renderer's helpers included). Time that doubles with the size is linear growth; time
that quadruples is not.

Usage: bounded_work_bench.py TESSALY_CLI [SCALE] [ROW_SUBSTRING]

SCALE (default 0.25) is N as a fraction of the size at which each row was found. Each run
gets generous limits (--message-timeout 600, --message-memory 8G) so that the figures show
the cost itself; "failed" marks a run whose message still did not convert. The first line
is an ordinary message, for the fixed cost of starting a worker.
"""
import os
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "reliability"))
import crafted_messages  # noqa: E402


def tree_resident_bytes(root):
    parents = {}
    resident = {}
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open(f"/proc/{entry}/stat") as stat:
                fields = stat.read().rsplit(")", 1)[1].split()
        except OSError:
            continue
        parents[int(entry)] = int(fields[1])
        resident[int(entry)] = int(fields[21]) * os.sysconf("SC_PAGE_SIZE")
    tree, total = [root], 0
    while tree:
        pid = tree.pop()
        total += resident.get(pid, 0)
        tree += [child for child, parent in parents.items() if parent == pid]
    return total


def run(cli, message, work):
    mailbox = os.path.join(work, "row.mbox")
    with open(mailbox, "wb") as out:
        out.write(message)
    output = os.path.join(work, "out")
    subprocess.run(["rm", "-rf", output])
    started = time.monotonic()
    process = subprocess.Popen([cli, "--output", output, "--message-timeout", "600", "--message-memory", "8G",
                                mailbox], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    peak = [0]

    def sample():
        while process.poll() is None:
            peak[0] = max(peak[0], tree_resident_bytes(process.pid))
            time.sleep(0.05)
    sampler = threading.Thread(target=sample)
    sampler.start()
    status = process.wait()
    sampler.join()
    return time.monotonic() - started, peak[0], status


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    cli = os.path.abspath(sys.argv[1])
    scale = float(sys.argv[2]) if len(sys.argv) > 2 else 0.25
    only = sys.argv[3] if len(sys.argv) > 3 else ""
    with tempfile.TemporaryDirectory() as work:
        seconds, peak, _ = run(cli, crafted_messages.normal_message("Baseline"), work)
        print(f"{'an ordinary message':32} {seconds:7.2f} s {peak / 2**20:7.0f} MB")
        print(f"{'row':32} {'N':>9} {'time':>9} {'peak':>9}   {'2N':>9} {'time':>9} {'peak':>9}   time 2N/N")
        for name, make, full, unit in crafted_messages.ROWS:
            if only not in name:
                continue
            n = max(int(full * scale), 1)
            figures = []
            for size in (n, 2 * n):
                seconds, peak, status = run(cli, make(size), work)
                figures.append((size, seconds, peak, status))
            line = f"{name:32}"
            for size, seconds, peak, status in figures:
                line += f" {size:9} {seconds:8.2f}s {peak / 2**20:7.0f}MB{'!' if status else ' '} "
            line += f"  {figures[1][1] / max(figures[0][1], 1e-3):5.1f}"
            print(line, flush=True)
        print("(! the message did not convert; sizes count " +
              ", ".join(sorted({unit for *_, unit in crafted_messages.ROWS})) + ")")


if __name__ == "__main__":
    main()
