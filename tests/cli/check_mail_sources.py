#!/usr/bin/env python3
"""Converts a tree of Maildirs and .eml folders, with decoys, with tessaly-cli and checks it.

Usage: check_mail_sources.py TESSALY_CLI WORK_FOLDER

The tree holds a Maildir with Maildir++ folders (".Work" and ".Work.Projects"), a folder of
.eml files, and decoys: a binary file, an .msf index alone, a letter that opens "From the desk
of", an empty folder "x.mbox", and an .eml file in the Maildir's cur/ (a message of the
Maildir, never a source of its own).
Checked: the output tree (".A.B" becomes A/B), each message whole (a body line starting
"From " does not cut it), the order and the Maildir flags in the index, the source files
unchanged, a re-run that converts nothing (also after a mail client moved a Maildir message to
cur/ and flagged it), shards whose union equals one run, and --format eml.
"""
import csv
import hashlib
import os
import shutil
import subprocess
import sys


def message(subject, date="Fri, 5 Mar 2021 10:00:00 +0000"):
    return (f"From: Ann <ann@example.org>\nTo: Bob <bob@example.org>\nSubject: {subject}\n"
            f"Date: {date}\nMessage-ID: <{subject.replace(' ', '.')}@example.org>\n\n"
            f"Text of {subject}\nFrom here on a line that an mbox would cut at\nend of {subject}\n").encode()


# Maildir file names: delivery time first; the newer cur/ file sorts after the older new/ one.
SOURCE_FILES = {
    "Maildir/cur/1600000300.M3P1.host:2,ST": message("third delivered"),
    "Maildir/new/1600000100.M1P1.host": message("first delivered"),
    "Maildir/cur/1600000200.M2P1.host:2,": message("second delivered"),
    # A message of the Maildir; cur/ is not an .eml folder of its own.
    "Maildir/cur/stray.eml": message("no delivery time"),
    "Maildir/.Work/cur/1600000400.M4P1.host:2,S": message("work"),
    "Maildir/.Work.Projects/new/1600000500.M5P1.host": message("projects"),
    "Exported/10.eml": message("ten"),
    "Exported/2.eml": message("two"),
    "Exported/3.eml": message("two"),  # the same bytes again: a message of its own
    "Exported/notes.txt": b"not a message\n",
    "binary": bytes(range(256)),
    "Alone.msf": b"// <!-- <mdb:mork:z v=\"1.4\"/> -->\n",
    "letter": b"From the desk of Ann\n\nDear Bob,\n",
}
EMPTY_FOLDERS = ["Maildir/tmp", "Maildir/.Work/new", "Maildir/.Work/tmp", "Maildir/.Work.Projects/cur",
                 "Maildir/.Work.Projects/tmp", "x.mbox"]

EXPECTED = {
    "Maildir": ["first delivered", "second delivered", "third delivered", "no delivery time"],
    "Maildir/Work": ["work"],
    "Maildir/Work/Projects": ["projects"],
    "Exported": ["two", "two", "ten"],
}
# Output folder -> the source folder it comes from.
SOURCE_FOLDERS = {"Maildir": "Maildir", "Maildir/Work": "Maildir/.Work",
                  "Maildir/Work/Projects": "Maildir/.Work.Projects", "Exported": "Exported"}


def pdf_names(subjects):
    """The PDF names of messages with these subjects, in order: a taken name gets " (2)"."""
    names = []
    for subject in subjects:
        taken = sum(1 for earlier in names if earlier == f"{subject}.pdf" or earlier.startswith(f"{subject} ("))
        names.append(f"{subject}.pdf" if taken == 0 else f"{subject} ({taken + 1}).pdf")
    return names


def fail(text):
    sys.exit(text)


def run(cli, arguments):
    result = subprocess.run([cli, *arguments], capture_output=True)
    if result.returncode != 0:
        fail(f"tessaly-cli {' '.join(arguments)} exited with {result.returncode}:\n"
             f"{result.stderr.decode(errors='replace')}")
    return result.stdout.decode(errors="replace")


def digests(root):
    found = {}
    for folder, _, names in os.walk(root):
        for name in names:
            path = os.path.join(folder, name)
            with open(path, "rb") as file:
                found[os.path.relpath(path, root)] = hashlib.sha256(file.read()).hexdigest()
    return found


def index_rows(folder):
    rows = []
    for name in sorted(os.listdir(folder)):
        if name.startswith("Tessaly index") and name.endswith(".csv"):
            with open(os.path.join(folder, name), encoding="utf-8-sig", newline="") as file:
                rows += list(csv.DictReader(file))
    return rows


def outputs(output, source_root, extension):
    """Relative output folder -> sorted output file names, for every folder holding one."""
    base = output + os.path.abspath(source_root)
    found = {}
    for folder, _, names in os.walk(output):
        files = sorted(name for name in names if name.endswith(extension))
        if files:
            found[os.path.relpath(folder, base)] = files
    return found


def main():
    cli, work = sys.argv[1], os.path.abspath(sys.argv[2])
    shutil.rmtree(work, ignore_errors=True)
    source = os.path.join(work, "source")
    for relative, content in SOURCE_FILES.items():
        os.makedirs(os.path.dirname(os.path.join(source, relative)), exist_ok=True)
        with open(os.path.join(source, relative), "wb") as file:
            file.write(content)
    for relative in EMPTY_FOLDERS:
        os.makedirs(os.path.join(source, relative), exist_ok=True)
    before = digests(source)

    one_run = os.path.join(work, "one")
    run(cli, ["-o", one_run, source])
    tree = outputs(one_run, source, ".pdf")
    expected_tree = {folder: sorted(pdf_names(subjects)) for folder, subjects in EXPECTED.items()}
    if tree != expected_tree:
        fail(f"output tree {tree}, expected {expected_tree}")
    base = one_run + source
    for folder, subjects in EXPECTED.items():
        rows = index_rows(os.path.join(base, folder))
        if [row["Subject"] for row in rows] != subjects:
            fail(f"{folder}: index subjects {[row['Subject'] for row in rows]}, expected {subjects}")
        for row in rows:
            if row["Status"] != "converted" or not row["Source file"]:
                fail(f"{folder}: row {row}")
            with open(os.path.join(source, SOURCE_FOLDERS[folder], row["Source file"]), "rb") as file:
                content = file.read()
            if int(row["Length"]) != len(content) or row["SHA-256"] != hashlib.sha256(content).hexdigest():
                fail(f"{folder}: row {row} does not key on its file")
        for subject, name in zip(subjects, pdf_names(subjects)):
            text = subprocess.run(["pdftotext", os.path.join(base, folder, name), "-"],
                                  capture_output=True).stdout.decode()
            if f"end of {subject}" not in text or "From here on a line" not in text:
                fail(f"{folder}/{subject}.pdf lacks part of its message:\n{text}")
    warnings = {row["Subject"]: row["Warnings"] for row in index_rows(os.path.join(base, "Maildir"))}
    if warnings != {"first delivered": "", "second delivered": "",
                    "third delivered": "Maildir flags: seen, trashed", "no delivery time": ""}:
        fail(f"Maildir flags in the index: {warnings}")
    if digests(source) != before:
        fail("the conversion changed the source tree")

    # A mail client that reads a new message moves it to cur/ and adds its flags: still the
    # same message, which a re-run does not convert again.
    os.rename(os.path.join(source, "Maildir/new/1600000100.M1P1.host"),
              os.path.join(source, "Maildir/cur/1600000100.M1P1.host:2,S"))
    again = run(cli, ["-o", one_run, source])
    if "messages converted: 0" not in again or "messages skipped (converted earlier): 9" not in again:
        fail(f"a re-run converted again:\n{again}")
    os.rename(os.path.join(source, "Maildir/cur/1600000100.M1P1.host:2,S"),
              os.path.join(source, "Maildir/new/1600000100.M1P1.host"))

    # Whole sources and files as the units: three shards, the Maildir split between them.
    shards = os.path.join(work, "shards")
    for shard in range(3):
        run(cli, ["-o", shards, "--shard", f"{shard}/3", "--split-over", "400", source])
    maildir_indexes = [name for name in os.listdir(os.path.join(shards + source, "Maildir")) if name.endswith(".csv")]
    if len(maildir_indexes) < 2:
        fail(f"the Maildir was not divided between shards: {maildir_indexes}")
    if outputs(shards, source, ".pdf") != tree:
        fail(f"shards made {outputs(shards, source, '.pdf')}, one run {tree}")
    def converted_files(root):
        return sorted((folder, row["Source file"]) for folder in EXPECTED
                      for row in index_rows(os.path.join(root + source, folder)) if row["Status"] == "converted")
    shard_rows = converted_files(shards)
    one_rows = converted_files(one_run)
    if shard_rows != one_rows:
        fail(f"shard index rows {shard_rows}, one run {one_rows}")

    emls = os.path.join(work, "eml")
    run(cli, ["-o", emls, "--format", "eml", source])
    eml_tree = outputs(emls, source, ".eml")
    if eml_tree != {folder: [name[:-4] + ".eml" for name in names] for folder, names in tree.items()}:
        fail(f"--format eml made {eml_tree}")
    with open(os.path.join(emls + source, "Exported", "ten.eml"), "rb") as file:
        # Lines ended by CR LF and one more at the end, as for a message cut from a mailbox.
        if file.read().replace(b"\r\n", b"\n") != SOURCE_FILES["Exported/10.eml"] + b"\n":
            fail("--format eml changed the message of Exported/10.eml")
    print("mail sources: tree, index, re-run, shards and --format eml as expected")


if __name__ == "__main__":
    main()
