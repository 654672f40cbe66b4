#!/usr/bin/env python3
"""Kills `tessaly-cli bundle` at each of its renames and removals while it replaces an earlier
bundle, and checks that the bundle's PDF and its load file are each whole after every kill:
the earlier one, byte for byte, or the new one.

Usage: check_bundle_replacement.py TESSALY_CLI WORK_FOLDER

strace stops the process on entering the N-th call of each kind and kills it there, for N = 1,
2, … until a run gets through. Skipped (exit 77) without strace.
"""
import os
import shutil
import subprocess
import sys

SKIP = 77
CALLS = "rename,renameat,renameat2,unlink,unlinkat"


def mailbox(path):
    with open(path, "w") as file:
        for number in range(1, 4):
            file.write(f"From ann@example.com Mon Jan  2 10:00:00 2023\nFrom: Ann <ann@example.com>\n"
                       f"Date: Mon, 2 Jan 2023 10:0{number}:00 +0100\nSubject: Message {number}\n\n"
                       f"Message {number}.\n\n")


def read(path):
    try:
        with open(path, "rb") as file:
            return file.read()
    except FileNotFoundError:
        return None


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    if not shutil.which("strace"):
        print("strace is not installed")
        sys.exit(SKIP)
    cli, work = sys.argv[1], os.path.abspath(sys.argv[2])
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    source = os.path.join(work, "box.mbox")
    mailbox(source)
    output = os.path.join(work, "out")
    subprocess.run([cli, "--output", output, source], check=True, capture_output=True, timeout=300)
    folder = os.path.join(output, source.lstrip("/"))
    pdf, csv = folder + ".pdf", folder + " bundle.csv"

    # The earlier bundle has no stamps; the one replacing it has page numbers, so the two differ.
    subprocess.run([cli, "bundle", folder], check=True, capture_output=True, timeout=300)
    earlier = (read(pdf), read(csv))
    subprocess.run([cli, "bundle", "--page-numbers", folder], check=True, capture_output=True, timeout=300)
    new_csv = read(csv)
    replacement = [cli, "bundle", "--page-numbers", folder]

    problems = []
    kills = 0
    # strace counts each call apart, so each is swept on its own: every one of them is reached.
    for call in CALLS.split(","):
        for step in range(1, 100):
            for path, data in zip((pdf, csv), earlier):
                with open(path, "wb") as file:
                    file.write(data)
            run = subprocess.run(["strace", "-f", "-qq", "-o", os.devnull, "-e", "trace=" + CALLS,
                                  "-e", f"inject={call}:error=EIO:signal=SIGKILL:when={step}"] + replacement,
                                 capture_output=True, timeout=300)
            if run.returncode == 0:
                break
            kills += 1
            where = f"killed at {call} number {step}"
            now_pdf, now_csv = read(pdf), read(csv)
            if now_pdf is None:
                problems.append(f"{where}: no bundle PDF")
            elif now_pdf != earlier[0]:
                check = subprocess.run(["qpdf", "--check", pdf], capture_output=True, text=True)
                if check.returncode != 0:
                    problems.append(f"{where}: the bundle PDF is neither the earlier one nor whole")
            if now_csv not in (earlier[1], new_csv):
                problems.append(f"{where}: the load file is "
                                + ("missing" if now_csv is None else "neither the earlier one nor the new one"))
        else:
            problems.append(f"the bundle never got through with {call} killed")
    if kills == 0:
        problems.append("no run was killed: the check checked nothing")
    print(f"{kills} runs killed at a rename or removal")
    for problem in problems:
        print("PROBLEM:", problem)
    sys.exit(1 if problems else 0)


if __name__ == "__main__":
    main()
