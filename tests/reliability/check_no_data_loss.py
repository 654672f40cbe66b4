#!/usr/bin/env python3
"""Converts the hostile mailbox set with tessaly-cli and checks that no message was lost.

Usage: check_no_data_loss.py TESSALY_CLI WORK_FOLDER [--small]

The first LF mailbox's messages are also given as an .eml folder and as a Maildir, a file per
message. Every message must be accounted for: the PDFs plus the kept email-N.eml files of failed
messages equal the messages in the mailbox, no two messages share an output file, and no
temporary file is left behind. The same holds for --format eml. What contents.json lists
comes back from the PDFs, in their text or their embedded files, or stays in a kept message
file: a PDF called converted that lost it (a blank page, an attachment cut short) fails. No
PDF has more pages than the page budget, and one cut there carries its whole text as
"message body" (the run embeds attachments). No failure goes without its kind: each failed
index row names a kind FailureKind.cpp knows and starts its reason with that kind's words, and
so does each failed message's line on stderr, also in a run where every message fails over
its memory limit.

The .eml pass reads every line-end form; the PDF pass renders the LF form only, since the
splitter hands the converter the same message files whatever the form.
"""
import csv
import hashlib
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))


def output_folder(out, mailbox):
    return os.path.join(out, mailbox.lstrip("/"))


def run_cli(cli, arguments):
    result = subprocess.run([cli, *arguments], capture_output=True, text=True, timeout=1800)
    if result.returncode not in (0, 1):
        sys.exit(f"tessaly-cli exited with {result.returncode}:\n{result.stderr}")
    return result


def split_messages(data):
    """The messages of a mailbox as tessaly cuts them: at each line starting "From ", a line
    ending at CR LF, CR or LF; blank text before the first such line is no message."""
    starts = [0] + [match.end() for match in re.finditer(rb"\r\n|\r|\n", data)]
    cuts = [start for start in starts if data.startswith(b"From ", start)]
    pieces = [data[begin:end] for begin, end in zip([0] + cuts, cuts + [len(data)]) if end > begin]
    return [piece for piece in pieces if piece.strip()]


def add_message_folders(mailboxes, manifest):
    """Puts the messages of the first LF mailbox into an .eml folder and a Maildir, a file per
    message, and adds both to the manifest; returns their paths."""
    mailbox = sorted(path for path in manifest if path.endswith("-lf.mbox"))[0]
    with open(mailbox, "rb") as file:
        messages = split_messages(file.read())
    eml = os.path.join(mailboxes, "as-eml")
    maildir = os.path.join(mailboxes, "as-maildir")
    for folder in (eml, *(os.path.join(maildir, sub) for sub in ("cur", "new", "tmp"))):
        os.makedirs(folder)
    for number, message in enumerate(messages, 1):
        with open(os.path.join(eml, f"{number}.eml"), "wb") as file:
            file.write(message)
        with open(os.path.join(maildir, "cur", f"{1600000000 + number}.M{number}.host:2,S"), "wb") as file:
            file.write(message)
    manifest[eml] = manifest[maildir] = len(messages)
    return [eml, maildir]


def account(manifest, out, extension):
    problems = []
    for mailbox, expected in manifest.items():
        folder = output_folder(out, mailbox)
        names = sorted(os.listdir(folder)) if os.path.isdir(folder) else []
        outputs = [n for n in names if n.endswith(extension) and not n.startswith("email-")]
        kept = [n for n in names if n.startswith("email-") and n.endswith(".eml")]
        leftovers = [n for n in names if n.startswith(".tessaly-")]
        if len(outputs) + len(kept) != expected:
            problems.append(f"{mailbox}: {expected} messages, but {len(outputs)} {extension} files "
                            f"and {len(kept)} kept message files: {names}")
        if leftovers:
            problems.append(f"{mailbox}: temporary files left behind: {leftovers}")
        for name in outputs + kept:
            if os.path.getsize(os.path.join(folder, name)) == 0:
                problems.append(f"{mailbox}: empty output file {name}")
    return problems


def contents_problems(contents, manifest, out):
    """What contents.json lists and neither the PDFs nor the kept message files hold."""
    texts, digests, kept = [], set(), []
    for mailbox in manifest:
        folder = output_folder(out, mailbox)
        for name in sorted(os.listdir(folder)) if os.path.isdir(folder) else []:
            path = os.path.join(folder, name)
            if name.startswith("email-") and name.endswith(".eml"):
                with open(path, "rb") as file:
                    kept.append(file.read())
            elif name.endswith(".pdf"):
                texts.append(subprocess.run(["pdftotext", path, "-"], capture_output=True).stdout)
                with tempfile.TemporaryDirectory() as detached:
                    subprocess.run(["pdfdetach", "-saveall", "-o", detached, path], capture_output=True)
                    for saved in os.listdir(detached):
                        with open(os.path.join(detached, saved), "rb") as file:
                            data = file.read()
                        texts.append(data)
                        digests.add(hashlib.sha256(data).hexdigest())
    problems = []
    for text in contents["texts"]:
        if not any(text.encode() in found for found in texts + kept):
            problems.append(f"'{text}' is in no PDF and no kept message file")
    for attachment in contents["attachments"]:
        if attachment["sha256"] not in digests and not any(attachment["name"].encode() in data for data in kept):
            problems.append(f"attachment '{attachment['name']}' came back from no PDF whole, and no message "
                            "file holding it was kept")
    return problems


def failure_kinds():
    """The kinds' tokens and words, as support/FailureKind.cpp gives them."""
    with open(os.path.join(HERE, "..", "..", "support", "FailureKind.cpp")) as file:
        return dict(re.findall(r'\{FailureKind::\w+, "([a-z-]+)", "([^"]+)"\}', file.read()))


def kind_problems(manifest, out, stderr):
    """Failures recorded without their kind: in the index files and in the report on stderr."""
    kinds = failure_kinds()
    problems = []
    for mailbox in manifest:
        index = os.path.join(output_folder(out, mailbox), "Tessaly index.csv")
        if not os.path.exists(index):
            continue
        with open(index, newline="", encoding="utf-8") as file:
            for row in csv.reader(file):
                if len(row) < 13 or not row[0].isdigit() or not row[11].startswith("failed"):
                    continue
                token = row[11][len("failed: "):] if row[11].startswith("failed: ") else ""
                if token not in kinds or not row[12].startswith(kinds.get(token, "") + ": "):
                    problems.append(f"{mailbox}: message {row[0]} failed without its kind: {row[11]},{row[12]}")
    for line in stderr.splitlines():
        place = re.match(r"error: '.*': message \d+ \(byte \d+\): ", line)
        if place and not any(line[place.end():].startswith(text + ": ") for text in kinds.values()):
            problems.append(f"a failed message reported without its kind: {line}")
    return problems


PAGE_BUDGET = 2000


def check_page_budget(manifest, out):
    problems = []
    for mailbox in manifest:
        folder = output_folder(out, mailbox)
        for name in sorted(os.listdir(folder)) if os.path.isdir(folder) else []:
            if not name.endswith(".pdf"):
                continue
            path = os.path.join(folder, name)
            info = subprocess.run(["pdfinfo", path], capture_output=True, text=True).stdout
            pages = int(next((line.split()[1] for line in info.splitlines() if line.startswith("Pages:")), "0"))
            if pages > PAGE_BUDGET:
                problems.append(f"{mailbox}: {name} has {pages} pages")
            elif pages == PAGE_BUDGET and "message body" not in subprocess.run(
                    ["pdfdetach", "-list", path], capture_output=True, text=True).stdout:
                problems.append(f"{mailbox}: {name} was cut at the page budget without its whole text")
    return problems


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    cli, work = sys.argv[1], os.path.abspath(sys.argv[2])
    small = ["--small"] if "--small" in sys.argv[3:] else []
    shutil.rmtree(work, ignore_errors=True)
    mailboxes = os.path.join(work, "mailboxes")
    subprocess.run([sys.executable, os.path.join(HERE, "make_adversarial_mailboxes.py"), mailboxes, *small],
                   check=True)
    with open(os.path.join(mailboxes, "manifest.json")) as file:
        manifest = json.load(file)

    # Each file of a Maildir or an .eml folder is one message, however hostile.
    message_folders = add_message_folders(mailboxes, manifest)
    lf = {path: count for path, count in manifest.items() if path.endswith("-lf.mbox") or path in message_folders}
    problems = []
    for extension, arguments, inputs, checked in ((".pdf", ["--attachments", "embed"], list(lf), lf),
                                                  (".eml", ["--format", "eml"], [mailboxes], manifest)):
        out = os.path.join(work, "out" + extension)
        result = run_cli(cli, ["--output", out, *arguments, *inputs])
        print(result.stderr[-3000:])
        problems += account(checked, out, extension)
        problems += kind_problems(checked, out, result.stderr)
        if extension == ".pdf":
            with open(os.path.join(mailboxes, "contents.json")) as file:
                problems += contents_problems(json.load(file), checked, out)
            problems += check_page_budget(checked, out)

    # Every message fails over a memory limit no worker keeps to: each failure is still
    # recorded with its kind, and keeps its message file.
    out = os.path.join(work, "out.failing")
    result = run_cli(cli, ["--output", out, "--message-memory", "1M", *lf])
    problems += account(lf, out, ".pdf") + kind_problems(lf, out, result.stderr)
    if "over the memory limit: " not in result.stderr:
        problems.append("no message failed over a memory limit of 1 MB:\n" + result.stderr[-3000:])

    for problem in problems:
        print("LOST:", problem)
    print(f"{len(manifest)} mailboxes checked, {len(problems)} problems")
    sys.exit(1 if problems else 0)


if __name__ == "__main__":
    main()
