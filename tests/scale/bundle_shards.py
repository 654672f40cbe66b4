#!/usr/bin/env python3
"""Bundles one mailbox converted in a single run and in three shards, and checks that the two
bundles read the same and that a bundle split into parts numbers on across them.

Usage: bundle_shards.py TESSALY_CLI WORK_FOLDER"""

import csv
import random
import re
import shutil
import subprocess
import sys
from pathlib import Path

MESSAGES = 30


def generate(path, rng):
    """Plain, HTML and attachment messages, dated out of mailbox order."""
    out = []
    for n in range(MESSAGES):
        lines = [f"From s{n}@example.org Mon Jan  1 00:00:00 2024", f"From: Sender {n} <s{n}@example.org>",
                 "To: Ann <ann@example.org>", f"Message-ID: <m{n}@example.org>",
                 f"Date: Mon, {28 - n % 28} Jan 2024 10:{n:02d}:00 +0000", f"Subject: Note {n}"]
        if n % 3 == 1:
            lines += ["MIME-Version: 1.0", "Content-Type: text/html; charset=utf-8", "",
                      f"<p>unique token t{n}</p><p>" + "word " * rng.randint(5, 400) + "</p>"]
        elif n % 3 == 2:
            lines += ["MIME-Version: 1.0", 'Content-Type: multipart/mixed; boundary="b"', "", "--b",
                      "Content-Type: text/plain", "", f"unique token t{n}", "--b",
                      f'Content-Type: text/plain; name="a{n}.txt"', f'Content-Disposition: attachment; filename="a{n}.txt"',
                      "", f"attachment {n}", "--b--"]
        else:
            lines += ["", f"unique token t{n}"] + [f"line {i}" for i in range(rng.randint(1, 150))]
        out.append("\n".join(lines) + "\n\n")
    path.write_text("".join(out))


def run(*command):
    subprocess.run([str(part) for part in command], check=True, stdout=subprocess.DEVNULL)


def mailbox_folder(root):
    """The output folder of the one mailbox: the folder holding the index."""
    return next(root.rglob("Tessaly index*.csv")).parent


def text_of(pdf):
    return subprocess.run(["pdftotext", "-layout", str(pdf), "-"], capture_output=True, text=True,
                          check=True).stdout


def load_rows(folder):
    with open(folder.parent / f"{folder.name} bundle.csv", encoding="utf-8-sig", newline="") as file:
        return list(csv.reader(file))


def main():
    cli, work = Path(sys.argv[1]), Path(sys.argv[2])
    if work.exists():
        shutil.rmtree(work)
    work.mkdir(parents=True)
    source = work / "box.mbox"
    generate(source, random.Random(28))
    bundle = [cli, "bundle", "--bates", "ABC-000001", "--page-numbers", "--order", "date"]

    run(cli, "--attachments", "embed", "-o", work / "single", source)
    single = mailbox_folder(work / "single")
    run(*bundle, single)
    # Three shards over ranges of the one mailbox, as three machines would run them.
    for shard in range(3):
        run(cli, "--attachments", "embed", "--split-over", "6K", "--shard", f"{shard}/3", "-o", work / "sharded",
            source)
    sharded = mailbox_folder(work / "sharded")
    if len(list(sharded.glob("Tessaly index*.csv"))) != 3:
        raise SystemExit("the shards did not write an index each")
    run(*bundle, sharded)

    want, got = single.parent / f"{single.name}.pdf", sharded.parent / f"{sharded.name}.pdf"
    if text_of(want) != text_of(got):
        raise SystemExit(f"the bundle after three shards reads differently from the single run's: {got}")
    if load_rows(single) != load_rows(sharded):
        raise SystemExit("the load files of the single and the sharded bundle differ")
    rows = load_rows(single)[1:]
    if len(rows) != MESSAGES or any(f"t{n}" not in text_of(want) for n in range(MESSAGES)):
        raise SystemExit("the bundle does not hold every message")

    # Parts of about three messages: numbers and Bates numbers run on from part to part.
    run(cli, "bundle", "--bates", "ABC-000001", "--bundle-size", "70K", single)
    parts = sorted(single.parent.glob(f"{single.name} (part *).pdf"), key=lambda p: int(re.search(r"part (\d+)", p.name)[1]))
    if len(parts) < 2:
        raise SystemExit("a small --bundle-size made no parts")
    expected = 1
    for part in [single.parent / f"{single.name}.pdf", *parts]:
        # Page stamps and the contents' first numbers: together they cover the part's range.
        stamps = sorted({int(number) for number in re.findall(r"ABC-(\d{6})", text_of(part))})
        if not stamps or stamps != list(range(expected, stamps[-1] + 1)):
            raise SystemExit(f"{part.name} does not number on from ABC-{expected:06d}: {stamps[:3]}...")
        expected = stamps[-1] + 1
    print(f"bundles of {MESSAGES} messages: single run and 3 shards read the same; {len(parts) + 1} parts number on")


if __name__ == "__main__":
    main()
