#!/usr/bin/env python3
"""Times each crafted message of the bounded-work set at two sizes, N and 2N, through
tessaly-cli, with the peak resident memory of its whole process tree (the worker and the
HTML renderer's helpers included) and, beside it, of the supervisor (tessaly-cli itself)
alone. Time that doubles with the size is linear growth; time that quadruples is not.

Usage: bounded_work_bench.py TESSALY_CLI [SCALE] [ROW_SUBSTRING]

SCALE (default 0.25) is N as a fraction of the size at which each row was found. Each run
gets generous limits (--message-timeout 600, --message-memory 8G) so that the figures show
the cost itself; "!" marks a run whose message still did not convert. The first line
is an ordinary message, for the fixed cost of starting a worker; the last is a message
with a 1 GB attachment, saved in the attachments folder (--attachments folder), whatever
SCALE says (leave it out with a ROW_SUBSTRING that does not match "1 GB attachment").

The "eml" column is the supervisor's peak for the same 2N message with --format eml: split
and named only, no worker. It is what naming the message still costs in the supervisor.
"""
import base64
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


def peak_resident_bytes(pid):
    """The process's own peak resident memory so far (VmHWM), 0 once it has gone."""
    try:
        with open(f"/proc/{pid}/status") as status:
            for line in status:
                if line.startswith("VmHWM:"):
                    return int(line.split()[1]) * 1024
    except OSError:
        pass
    return 0


def write_mailbox(path, message):
    """`message` is the mailbox's bytes, or a function that writes them to an open file."""
    with open(path, "wb") as out:
        if callable(message):
            message(out)
        else:
            out.write(message)


def run(cli, mailbox, work, extra=()):
    """Seconds, the tree's peak, the supervisor's own peak, and the exit status."""
    output = os.path.join(work, "out")
    subprocess.run(["rm", "-rf", output])
    started = time.monotonic()
    process = subprocess.Popen([cli, "--output", output, "--message-timeout", "600", "--message-memory", "8G",
                                *extra, mailbox], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    peak = [0, 0]

    def sample():
        while process.poll() is None:
            peak[0] = max(peak[0], tree_resident_bytes(process.pid))
            peak[1] = max(peak[1], peak_resident_bytes(process.pid))
            time.sleep(0.05)
    sampler = threading.Thread(target=sample)
    sampler.start()
    status = process.wait()
    sampler.join()
    return time.monotonic() - started, peak[0], peak[1], status


def write_big_attachment(size):
    """A message with one base64 attachment of `size` bytes, written in pieces."""
    def write(out):
        out.write(crafted_messages.ENVELOPE + crafted_messages.SENDER +
                  b"\nTo: r@example.com\nDate: Mon, 2 Jan 2023 10:00:00 +0100\nSubject: Big attachment\n"
                  b"MIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=\"b\"\n\n--b\n"
                  b"Content-Type: text/plain\n\nThe attachment is large.\n--b\n"
                  b"Content-Type: application/octet-stream; name=big.bin\n"
                  b"Content-Disposition: attachment; filename=big.bin\nContent-Transfer-Encoding: base64\n\n")
        piece = bytes(range(256)) * (57 * 4096 // 256)  # whole 76-character lines
        line_bytes = 57
        left = size
        while left > 0:
            data = piece[:min(left, len(piece))]
            encoded = base64.b64encode(data)
            out.write(b"\n".join(encoded[i:i + 76] for i in range(0, len(encoded), 76)) + b"\n")
            left -= len(data)
            assert len(data) % line_bytes == 0 or left <= 0
        out.write(b"--b--\n")
    return write


def mb(size):
    return f"{size / 2**20:6.0f}MB"


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    cli = os.path.abspath(sys.argv[1])
    scale = float(sys.argv[2]) if len(sys.argv) > 2 else 0.25
    only = sys.argv[3] if len(sys.argv) > 3 else ""
    with tempfile.TemporaryDirectory() as work:
        mailbox = os.path.join(work, "row.mbox")
        write_mailbox(mailbox, crafted_messages.normal_message("Baseline"))
        seconds, peak, own, _ = run(cli, mailbox, work)
        print(f"{'an ordinary message':32} {seconds:7.2f} s tree {mb(peak)} supervisor {mb(own)}")
        print(f"{'row':32} {'N':>9} {'time':>9} {'tree':>8} {'superv.':>8}   {'2N':>9} {'time':>9} {'tree':>8} "
              f"{'superv.':>8}   time 2N/N {'eml':>8}")
        for name, make, full, unit in crafted_messages.ROWS:
            if only not in name:
                continue
            n = max(int(full * scale), 1)
            figures = []
            for size in (n, 2 * n):
                write_mailbox(mailbox, make(size))
                seconds, peak, own, status = run(cli, mailbox, work)
                figures.append((size, seconds, peak, own, status))
            line = f"{name:32}"
            for size, seconds, peak, own, status in figures:
                line += f" {size:9} {seconds:8.2f}s {mb(peak)} {mb(own)}{'!' if status else ' '} "
            line += f"  {figures[1][1] / max(figures[0][1], 1e-3):9.1f}"
            line += f" {mb(run(cli, mailbox, work, ('--format', 'eml'))[2])}"
            print(line, flush=True)
        if only in "1 GB attachment":
            write_mailbox(mailbox, write_big_attachment(1 << 30))
            seconds, peak, own, status = run(cli, mailbox, work, ("--attachments", "folder"))
            eml = run(cli, mailbox, work, ("--format", "eml"))[2]
            print(f"{'1 GB attachment (folder)':32} {os.path.getsize(mailbox):9} {seconds:8.2f}s {mb(peak)} "
                  f"{mb(own)}{'!' if status else ' '}  eml {mb(eml)}", flush=True)
        print("(! the message did not convert; sizes count " +
              ", ".join(sorted({unit for *_, unit in crafted_messages.ROWS})) + ")")


if __name__ == "__main__":
    main()
