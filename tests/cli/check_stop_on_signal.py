#!/usr/bin/env python3
"""Stops tessaly-cli with SIGINT and SIGTERM mid-run and checks the summary, the index and a resume.

Usage: check_stop_on_signal.py TESSALY_CLI WORK_FOLDER

For each signal, a mailbox of plain-text messages is converted to PDFs; once the index holds a
few rows the signal is sent. The run must exit with 128 + the signal's number after printing its
summary and the line that says where it stopped; every index row must name a PDF that is there,
and no message file (email-N.eml) may be left. A second run into the same folder must then
complete: one PDF per message, each recorded as converted once, and still no message file.
"""
import csv
import os
import shutil
import signal
import subprocess
import sys
import time

MESSAGES = 120
POLL_SECONDS = 0.01
ROWS_BEFORE_SIGNAL = 3
SECONDS_TO_STOP = 10


def write_mailbox(path):
    with open(path, "w") as file:
        for number in range(1, MESSAGES + 1):
            body = "\n".join(f"Line {line} of message {number}." for line in range(1, 40))
            file.write(f"From ann@example.com Mon Jan  2 10:00:00 2023\nFrom: Ann <ann@example.com>\n"
                       f"Subject: Message {number:03d}\nDate: Mon, 2 Jan 2023 10:00:00 +0100\n\n{body}\n\n")


def index_rows(index):
    try:
        with open(index, newline="", encoding="utf-8-sig") as file:
            return list(csv.reader(file))[1:]
    except OSError:
        return []


def folder_problems(folder):
    problems = []
    rows = index_rows(os.path.join(folder, "Tessaly index.csv"))
    for row in rows:
        if row[9] and not os.path.exists(os.path.join(folder, row[9])):
            problems.append(f"index row of message {row[0]} names {row[9]}, which is missing")
    left = [name for name in os.listdir(folder) if name.startswith("email-")]
    if left:
        problems.append(f"message files left: {left}")
    return problems, rows


def check(cli, work, signal_number):
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    mailbox = os.path.join(work, "box.mbox")
    write_mailbox(mailbox)
    out = os.path.join(work, "out")
    command = [cli, "--output", out, "--naming", "subject", mailbox]
    folder = os.path.join(out, os.path.relpath(mailbox, "/"))
    index = os.path.join(folder, "Tessaly index.csv")

    process = subprocess.Popen(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    while process.poll() is None and len(index_rows(index)) < ROWS_BEFORE_SIGNAL:
        time.sleep(POLL_SECONDS)
    if process.poll() is not None:
        return [f"the run ended before the signal: {process.returncode}"]
    process.send_signal(signal_number)
    try:
        stdout, stderr = process.communicate(timeout=SECONDS_TO_STOP)
    except subprocess.TimeoutExpired:
        process.kill()
        return [f"the run did not stop within {SECONDS_TO_STOP} s of signal {signal_number}"]

    problems = []
    name = signal.Signals(signal_number).name
    if process.returncode != 128 + signal_number:
        problems.append(f"{name}: exit status {process.returncode}, not {128 + signal_number}\n{stderr}")
    if "messages converted: " not in stdout:
        problems.append(f"{name}: no summary on stdout: {stdout!r}")
    if "the run was stopped at message " not in stderr:
        problems.append(f"{name}: stderr does not say where the run stopped: {stderr!r}")
    stopped_problems, rows = folder_problems(folder)
    problems += [f"{name}, stopped: {problem}" for problem in stopped_problems]
    if not 0 < len(rows) < MESSAGES:
        problems.append(f"{name}: {len(rows)} index rows after the stop")

    resumed = subprocess.run(command, capture_output=True, text=True)
    if resumed.returncode != 0:
        problems.append(f"{name}: the resume exited with {resumed.returncode}\n{resumed.stderr}")
    resumed_problems, rows = folder_problems(folder)
    problems += [f"{name}, resumed: {problem}" for problem in resumed_problems]
    pdfs = sorted(name for name in os.listdir(folder) if name.endswith(".pdf"))
    expected = [f"Message {number:03d}.pdf" for number in range(1, MESSAGES + 1)]
    if pdfs != expected:
        problems.append(f"{name}: after the resume {len(pdfs)} PDFs, not the {MESSAGES} named by subject")
    # The index only grows: the resume adds a "skipped" row for each message converted before.
    if sorted(row[9] for row in rows if row[11] == "converted") != expected:
        problems.append(f"{name}: the index does not record each PDF as converted once")
    return problems


def main():
    cli, work = sys.argv[1], sys.argv[2]
    problems = []
    for signal_number in (signal.SIGINT, signal.SIGTERM):
        problems += check(cli, os.path.join(work, signal.Signals(signal_number).name), signal_number)
    for problem in problems:
        print(problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
