#!/usr/bin/env python3
"""Converts each crafted message, followed by an ordinary one, and checks that the crafted
message either converts or fails alone with its message file kept, and that the ordinary
message after it converts. The huge subject must convert within the default memory limit,
its field cut before the worker parses it, and its page's subject must end in the cut note.

Usage: check_bounded_messages.py TESSALY_CLI WORK_FOLDER [SCALE]

SCALE (default 0.1) shrinks each row from the size at which it was found, so that the whole
check takes seconds per row. The run gets a message timeout of 20 s, so a row that still
needs more fails alone instead of stalling the check.
"""
import os
import re
import shutil
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import crafted_messages  # noqa: E402


def huge_subject_problems(folder, names, number, stderr):
    """The huge subject's own checks: converted (within the run's default memory limit, since
    --message-memory is left as it is), the field cut before parsing, the page's subject cut."""
    message = 2 * number - 1
    pdf = next((n for n in names if n.startswith(f"Row {number} ") and n.endswith(".pdf")), None)
    if pdf is None:
        failure = re.search(rf"message {message}\b[^\n]*", stderr)
        return [f"huge subject: did not convert within the default limits: {failure.group(0) if failure else '?'}"]
    if not re.search(rf"message {message}: the header field 'Subject' \(\d+ MB\) was read only to 1 MB", stderr):
        return ["huge subject: no warning that the Subject field was cut before it was read"]
    text = subprocess.run(["pdftotext", os.path.join(folder, pdf), "-"], capture_output=True, text=True).stdout
    subject = " ".join(text.split("Subject:", 1)[-1].split("The subject is long.", 1)[0].split())
    if not re.search(r"\[… cut: \d+ MB in all\]$", subject):
        return [f"huge subject: the page's subject does not end in the cut note: ...{subject[-80:]}"]
    return []


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    cli, work = sys.argv[1], os.path.abspath(sys.argv[2])
    scale = float(sys.argv[3]) if len(sys.argv) > 3 else 0.1
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    mailbox = os.path.join(work, "crafted.mbox")
    with open(mailbox, "wb") as out:
        for number, (_, message) in enumerate(crafted_messages.scaled_rows(scale), 1):
            out.write(crafted_messages.with_sender(message, f"Row {number}"))
            out.write(crafted_messages.normal_message(f"After row {number}"))

    output = os.path.join(work, "out")
    result = subprocess.run([cli, "--output", output, "--naming", "from-subject-date", "--message-timeout", "20",
                             mailbox], capture_output=True, text=True, timeout=1200)
    if result.returncode not in (0, 1):
        sys.exit(f"tessaly-cli exited with {result.returncode}:\n{result.stderr[-3000:]}")
    folder = os.path.join(output, mailbox.lstrip("/"))
    names = os.listdir(folder)

    problems = []
    for number, (name, *_rest) in enumerate(crafted_messages.ROWS, 1):
        converted = any(n.startswith(f"Row {number} ") and n.endswith(".pdf") for n in names)
        kept = f"email-{2 * number - 1}.eml" in names
        failure = re.search(rf"message {2 * number - 1}\b[^\n]*", result.stderr)
        outcome = "converted" if converted else "failed: " + (failure.group(0) if failure else "?")
        print(f"{name}: {outcome}{', message file kept' if kept else ''}")
        if not converted and not kept:
            problems.append(f"{name}: neither converted nor kept")
        if not any(n.startswith(f"After row {number} ") and n.endswith(".pdf") for n in names):
            problems.append(f"{name}: the ordinary message after it did not convert")
        if f"email-{2 * number}.eml" in names:
            problems.append(f"{name}: the ordinary message after it was kept")
        if name == "huge subject":
            problems += huge_subject_problems(folder, names, number, result.stderr)
    leftovers = [n for n in names if n.startswith(".tessaly-")]
    if leftovers:
        problems.append(f"temporary files left behind: {leftovers}")
    for problem in problems:
        print("PROBLEM:", problem)
    sys.exit(1 if problems else 0)


if __name__ == "__main__":
    main()
