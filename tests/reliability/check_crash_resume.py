#!/usr/bin/env python3
"""Kills tessaly-cli with SIGKILL at random moments, resumes it each time, and checks what is left.

Usage: check_crash_resume.py TESSALY_CLI WORK_FOLDER [KILLS] [SEED]

A generated mailbox of plain-text messages, some with a file attached (--attachments folder),
is converted to PDFs with KILLS/2 kills (default 50 in all), and to .eml files with the
other half (--format eml, which goes through the same commit order and is quicker). Each kill
lands a random moment after the run has recorded a random number of messages; the next run
resumes. After a last run that ends by itself:
- every message has exactly one output file that the index records and no message file, or no
  recorded output and its kept email-N.eml (a message file left by a kill is taken again by
  the resume and goes with the conversion);
- every output passes `qpdf --check`, and a recorded PDF's attached file is saved, whole;
- no file under a final name is empty, and where the system makes files without a name
  (O_TMPFILE) a kill leaves no hidden .tessaly-*.part file either;
- every index row that names a file names one that is there;
- no output is left that no index row claims: a kill between an output's rename and its index
  row leaves that output unrecorded, and the resume, which converts the message again, takes
  its name back (the output carries the message's mark, an extended attribute). On a file
  system without extended attributes such files are printed, and there may be one per kill.
A kill does not lose what the system holds in memory for the disk, so this checks the visible
consequences of the commit order (no torn or empty names, no output twice, the resume
completes); the syncs themselves are checked under strace (check_sync_order.py).
"""
import csv
import os
import random
import re
import shutil
import signal
import subprocess
import sys
import time

MESSAGES = 80
ATTACHED_EVERY = 5
POLL_SECONDS = 0.005


def subject(number):
    return f"Message {number:03d}"


def attachment_text(number):
    return f"the note of message {number}\n" * 40


def mailbox(path):
    messages = []
    for number in range(1, MESSAGES + 1):
        lines = ["From ann@example.com Mon Jan  2 10:00:00 2023", "From: Ann <ann@example.com>",
                 "To: Bob <bob@example.com>", f"Date: Mon, 2 Jan 2023 {10 + number // 60}:{number % 60:02d}:00 +0100",
                 f"Subject: {subject(number)}", "MIME-Version: 1.0"]
        body = [f"Line {line} of message {number}." for line in range(1, 30)]
        if number % ATTACHED_EVERY == 0:
            lines += ["Content-Type: multipart/mixed; boundary=b", "", "--b", "Content-Type: text/plain", "", *body,
                      "--b", "Content-Type: text/plain; name=note.txt",
                      "Content-Disposition: attachment; filename=note.txt", "",
                      attachment_text(number).rstrip("\n"), "--b--"]
        else:
            lines += ["Content-Type: text/plain", "", *body]
        messages.append("\n".join(lines) + "\n")
    with open(path, "w") as file:
        file.write("\n".join(messages))


def rows_in(index):
    try:
        with open(index, "rb") as file:
            return file.read().count(b"\r\n")
    except OSError:
        return 0


def run_and_kill(command, index, rng, seconds_per_message):
    """Starts the run and kills it once it has written a few more index rows and a random moment
    has passed; whether it ended by itself first."""
    rows_before = rows_in(index)
    wanted = rng.randint(0, 1)
    process = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    while process.poll() is None and rows_in(index) < rows_before + wanted:
        time.sleep(POLL_SECONDS)
    time.sleep(rng.uniform(0, seconds_per_message))
    if process.poll() is not None:
        return True
    process.send_signal(signal.SIGKILL)
    process.wait()
    return False


def index_rows(index):
    with open(index, newline="", encoding="utf-8-sig") as file:
        return list(csv.reader(file))[1:]


def whole_note(path, number):
    with open(path, "rb") as file:
        return file.read().replace(b"\r\n", b"\n") == attachment_text(number).rstrip("\n").encode()


def problems_in(folder, extension, kills):
    """What is wrong with the output folder, and how many outputs no index row claims."""
    names = sorted(os.listdir(folder))
    rows = index_rows(os.path.join(folder, "Tessaly index.csv"))
    claimed = {row[9] for row in rows if row[11] in ("converted", "skipped") and row[9]}
    problems, unclaimed = [], []
    for row in rows:
        if row[9] and not os.path.isfile(os.path.join(folder, row[9])):
            problems.append(f"index row of message {row[0]} names {row[9]}, which is missing")
    for number in range(1, MESSAGES + 1):
        pattern = re.compile(re.escape(subject(number)) + r"( \(\d+\))?" + re.escape(extension))
        outputs = [n for n in names if pattern.fullmatch(n)]
        recorded = [n for n in outputs if n in claimed]
        kept = [n for n in names if re.fullmatch(rf"email-{number}( \(\d+\))?\.eml", n)]
        if not (len(recorded) == 1 and not kept) and not (not recorded and len(kept) == 1):
            problems.append(f"{subject(number)}: outputs {outputs} ({recorded} in the index), message files {kept}")
        unclaimed += [n for n in outputs if n not in claimed]
        for name in outputs:
            path = os.path.join(folder, name)
            if extension == ".pdf":
                check = subprocess.run(["qpdf", "--check", path], capture_output=True, text=True)
                if check.returncode not in (0, 3):
                    problems.append(f"{name} fails qpdf --check: {check.stdout.strip()} {check.stderr.strip()}")
        for name in recorded if extension == ".pdf" and number % ATTACHED_EVERY == 0 else []:
            attachments = os.path.join(folder, name[:-len(extension)] + " attachments")
            saved = sorted(os.listdir(attachments)) if os.path.isdir(attachments) else []
            if not saved:
                problems.append(f"{name}: its attachment was not saved")
            for note in saved:
                if not whole_note(os.path.join(attachments, note), number):
                    problems.append(f"{name}: {note} is not whole")
            unclaimed += saved[1:]
    unnamed = makes_unnamed_files(folder)
    for parent, _, files in os.walk(folder):
        for name in files:
            path = os.path.join(parent, name)
            if name.startswith(".tessaly-"):
                if unnamed:
                    problems.append(f"temporary file left: {os.path.relpath(path, folder)}")
            elif os.path.getsize(path) == 0:
                problems.append(f"empty file {os.path.relpath(path, folder)}")
    # Without marks, a kill between an output's rename and its index row leaves that output,
    # whole, and the resume writes the message again: at most one commit's files per kill.
    allowed = 0 if keeps_marks(folder) else kills
    if len(unclaimed) > allowed:
        problems.append(f"{len(unclaimed)} outputs no index row claims, more than {allowed}: {unclaimed}")
    return problems, unclaimed


def makes_unnamed_files(folder):
    """Whether files can be made without a name in `folder` and named later (through /proc)."""
    if not hasattr(os, "O_TMPFILE") or not os.path.isdir("/proc/self/fd"):
        return False
    try:
        os.close(os.open(folder, os.O_TMPFILE | os.O_RDWR))
        return True
    except OSError:
        return False


def keeps_marks(folder):
    """Whether the file system of `folder` keeps the marks the resume tells its outputs by."""
    probe = os.path.join(folder, ".mark-probe")
    try:
        open(probe, "w").close()
        os.setxattr(probe, "user.tessaly.probe", b"1")
        return True
    except OSError:
        return False
    finally:
        if os.path.exists(probe):
            os.remove(probe)


def crash_and_resume(cli, work, name, options, extension, kills, rng):
    out = os.path.join(work, name)
    box = os.path.join(work, "box.mbox")
    command = [cli, "--output", out, *options, box]
    folder = os.path.join(out, box.lstrip("/"))
    index = os.path.join(folder, "Tessaly index.csv")

    # How long a message takes here, so that kills spread over the work (not for any check).
    started = time.monotonic()
    calibration = os.path.join(work, name + "-whole")
    subprocess.run([cli, "--output", calibration, *options, box], capture_output=True, timeout=600)
    seconds_per_message = (time.monotonic() - started) / MESSAGES

    killed = 0
    for _ in range(kills):
        if run_and_kill(command, index, rng, seconds_per_message):
            break
        killed += 1
    final = subprocess.run(command, capture_output=True, text=True, timeout=600)
    if final.returncode != 0:
        return killed, [f"{name}: the last run exited with {final.returncode}: {final.stderr}"]
    problems, unclaimed = problems_in(folder, extension, killed)
    print(f"{name}: killed {killed} times, then resumed to the end; "
          f"{len(unclaimed)} files of interrupted commits left unclaimed: {unclaimed}")
    return killed, [f"{name}: {problem}" for problem in problems]


def main():
    if len(sys.argv) not in (3, 4, 5):
        sys.exit(__doc__)
    cli, work = sys.argv[1], os.path.abspath(sys.argv[2])
    kills = int(sys.argv[3]) if len(sys.argv) > 3 else 50
    seed = int(sys.argv[4]) if len(sys.argv) > 4 else random.randrange(1 << 30)
    rng = random.Random(seed)
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    mailbox(os.path.join(work, "box.mbox"))

    problems = []
    for name, options, extension in (("pdf", ["--attachments", "folder"], ".pdf"), ("eml", ["--format", "eml"], ".eml")):
        killed, found = crash_and_resume(cli, work, name, options, extension, kills // 2, rng)
        problems += found
        if killed < kills // 2:
            problems.append(f"{name}: only {killed} kills before the run ended by itself")
    for problem in problems:
        print(problem)
    if problems:
        print(f"seed {seed} (pass it to repeat these moments)")
        return 1
    print(f"every message has one whole output or its kept message file (seed {seed})")
    return 0


if __name__ == "__main__":
    sys.exit(main())
