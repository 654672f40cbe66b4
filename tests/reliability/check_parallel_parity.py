#!/usr/bin/env python3
"""Converts the same mailboxes with one worker and with four, and checks that the output trees
are the same: the same files under the same names, the same text in every PDF (pdftotext),
the same bytes in every other file, and the same report.

Usage: check_parallel_parity.py TESSALY_CLI WORK_FOLDER

The mailboxes: the hostile set (LF form), a real-looking generated mailbox, and one whose
messages all want the same name, with a file standing where the first one's attachments
folder goes, so that it fails while the messages after it are in flight.
"""
import os
import shutil
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))


def same_name_mailbox(path):
    messages = []
    for number in range(1, 9):
        attached = number % 2 == 1
        lines = ["From sender@example.com Mon Jan  2 10:00:00 2023", "From: Ann <ann@example.com>",
                 f"Date: Mon, 2 Jan 2023 10:0{number}:00 +0100", "Subject: Same", "MIME-Version: 1.0"]
        if attached:
            lines += ["Content-Type: multipart/mixed; boundary=b", "", "--b", "Content-Type: text/html", "",
                      f"<p>Message <b>{number}</b> with a file</p>", "--b",
                      f"Content-Type: text/plain; name=note.txt", "Content-Disposition: attachment", "",
                      f"note of message {number}", "--b--"]
        else:
            lines += ["Content-Type: text/plain", "", f"Message {number}, plain."]
        messages.append("\n".join(lines) + "\n")
    with open(path, "w") as file:
        file.write("\n".join(messages))


def output_folder(out, mailbox):
    return os.path.join(out, mailbox.lstrip("/"))


def convert(cli, mailboxes, out, jobs):
    # The first "Same" message's attachments folder cannot be made: a file stands there.
    blocked = output_folder(out, mailboxes[-1])
    os.makedirs(blocked)
    with open(os.path.join(blocked, "Same attachments"), "w") as file:
        file.write("in the way")
    result = subprocess.run([cli, "--output", out, "--jobs", str(jobs), "--attachments", "folder", *mailboxes],
                            capture_output=True, text=True, timeout=900)
    summary = [line for line in result.stdout.splitlines() if not line.startswith("time:")]
    problems = [line.replace(out, "OUT") for line in result.stderr.splitlines() if line.startswith(("error:", "warning:"))]
    return result.returncode, summary, problems


def tree(out):
    files = {}
    for folder, _, names in os.walk(out):
        for name in names:
            path = os.path.join(folder, name)
            if name.endswith(".pdf"):
                content = subprocess.run(["pdftotext", "-q", path, "-"], capture_output=True).stdout
            else:
                with open(path, "rb") as file:
                    content = file.read()
            # Failure reasons name the output folder, which differs between the runs.
            files[os.path.relpath(path, out)] = content.replace(out.encode(), b"OUT")
    return files


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    cli, work = sys.argv[1], os.path.abspath(sys.argv[2])
    shutil.rmtree(work, ignore_errors=True)
    inputs = os.path.join(work, "mailboxes")
    subprocess.run([sys.executable, os.path.join(HERE, "make_adversarial_mailboxes.py"), inputs, "--small"], check=True)
    real = os.path.join(inputs, "real.mbox")
    subprocess.run([sys.executable, os.path.join(ROOT, "bench", "generate_mailbox.py"), real, "1"], check=True)
    same = os.path.join(inputs, "same.mbox")
    same_name_mailbox(same)
    mailboxes = [os.path.join(inputs, "hostile-lf.mbox"), real, same]

    runs = {jobs: convert(cli, mailboxes, os.path.join(work, f"out-{jobs}"), jobs) for jobs in (1, 4)}
    trees = {jobs: tree(os.path.join(work, f"out-{jobs}")) for jobs in runs}
    differences = []
    if runs[1] != runs[4]:
        differences.append(f"the reports differ:\n{runs[1]}\n{runs[4]}")
    for name in sorted(set(trees[1]) | set(trees[4])):
        if trees[1].get(name) != trees[4].get(name):
            differences.append(f"{name}: " + ("missing with 4 workers" if name not in trees[4] else
                                              "missing with 1 worker" if name not in trees[1] else "differs"))
    for difference in differences:
        print("DIFFERENT:", difference)
    print(f"{len(trees[1])} files compared, {len(differences)} differences")
    sys.exit(1 if differences or len(trees[1]) < 50 else 0)


if __name__ == "__main__":
    main()
