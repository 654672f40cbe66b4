#!/usr/bin/env python3
"""Runs tessaly-cli under strace and checks the order in which it makes files durable.

Usage: check_sync_order.py TESSALY_CLI WORK_FOLDER

For every PDF, saved attachment and .eml output: its data is synced before the rename that
gives it its name, its folder is synced after that rename, and the message file (email-N.eml)
is deleted only after both. The index file is synced after the mailbox's last message. Once
as PDFs with an attachments folder, once with --format eml. Skipped (exit 77) without strace.
"""
import os
import re
import shutil
import subprocess
import sys

SKIP = 77
CALLS = "fsync,fdatasync,renameat2,renameat,rename,linkat,unlink,unlinkat"

# "1234 name(args) = 0", or the two halves of a call that another process interrupted.
WHOLE = re.compile(r"^(\d+)\s+(\w+)\((.*)\)\s+=\s+(-?\d+)")
UNFINISHED = re.compile(r"^(\d+)\s+(\w+)\((.*) <unfinished \.\.\.>$")
RESUMED = re.compile(r"^(\d+)\s+<\.\.\. (\w+) resumed>(.*)\)\s+=\s+(-?\d+)")
FD_PATH = re.compile(r"^-?\d+<(.*?)>(?:\(deleted\))?$")
# A file without a name is named by linking its descriptor: linkat(AT_FDCWD, "/proc/self/fd/N", …).
DESCRIPTOR_LINK = re.compile(r"^/proc/self/fd/(\d+)$")


def mailbox(path):
    messages = []
    for number in range(1, 4):
        lines = ["From ann@example.com Mon Jan  2 10:00:00 2023", "From: Ann <ann@example.com>",
                 f"Date: Mon, 2 Jan 2023 10:0{number}:00 +0100", f"Subject: Message {number}", "MIME-Version: 1.0"]
        if number == 2:
            lines += ["Content-Type: multipart/mixed; boundary=b", "", "--b", "Content-Type: text/plain", "",
                      "Message 2 has a file.", "--b", "Content-Type: text/plain; name=note.txt",
                      "Content-Disposition: attachment; filename=note.txt", "", "the note", "--b--"]
        else:
            lines += ["Content-Type: text/plain", "", f"Message {number}, plain."]
        messages.append("\n".join(lines) + "\n")
    with open(path, "w") as file:
        file.write("\n".join(messages))


def arguments(text):
    """The top-level comma-separated arguments of a call, strings unquoted."""
    parts, current, quoted, escaped = [], "", False, False
    for c in text:
        if quoted:
            if escaped:
                escaped = False
            elif c == "\\":
                escaped = True
            elif c == '"':
                quoted = False
            current += c
        elif c == '"':
            quoted = True
            current += c
        elif c == ",":
            parts.append(current.strip())
            current = ""
        else:
            current += c
    parts.append(current.strip())
    return [p[1:-1] if p.startswith('"') and p.endswith('"') else p for p in parts]


def fd_path(argument):
    found = FD_PATH.match(argument)
    return found.group(1) if found else None


def events(log):
    """(call, args) of each successful call, in the order they finished."""
    pending, done = {}, []
    for line in log.splitlines():
        if found := UNFINISHED.match(line):
            pending[(found.group(1), found.group(2))] = found.group(3)
        elif found := RESUMED.match(line):
            started = pending.pop((found.group(1), found.group(2)), "")
            if found.group(4) == "0":
                done.append((found.group(2), arguments(started + found.group(3))))
        elif (found := WHOLE.match(line)) and found.group(4) == "0":
            done.append((found.group(2), arguments(found.group(3))))
    return done


def classify(done):
    """Data syncs, folder syncs, renames (folder, from, to) and unlinks (folder, name), with positions."""
    syncs, renames, unlinks = [], [], []
    for position, (call, args) in enumerate(done):
        if call in ("fsync", "fdatasync"):
            syncs.append((position, fd_path(args[0]), "fd " + args[0].split("<")[0]))
        elif call == "renameat2" or call == "renameat":
            renames.append((position, fd_path(args[0]), args[1], args[3]))
        elif call == "rename":
            renames.append((position, os.path.dirname(args[0]), os.path.basename(args[0]), os.path.basename(args[1])))
        elif call == "linkat" and (linked := DESCRIPTOR_LINK.match(args[1])):
            renames.append((position, fd_path(args[2]), "fd " + linked.group(1), args[3]))
        elif call == "unlinkat":
            unlinks.append((position, fd_path(args[0]), args[1]))
        elif call == "unlink":
            unlinks.append((position, os.path.dirname(args[0]), os.path.basename(args[0])))
    return syncs, renames, unlinks


def order_problems(log, out, what):
    syncs, renames, unlinks = classify(events(log))
    synced_at = lambda path: [p for p, synced, _ in syncs if synced == path]

    def data_synced_before(position, folder, source):
        """A named file's sync, or one of the unnamed file on that descriptor since it was last named."""
        if not source.startswith("fd "):
            return any(p < position for p in synced_at(os.path.join(folder, source)))
        since = max((r[0] for r in renames if r[2] == source and r[0] < position), default=-1)
        return any(since < p < position and descriptor == source and (path or "").startswith(folder + "/#")
                   for p, path, descriptor in syncs)

    outputs = [r for r in renames if r[1] and r[1].startswith(out) and not r[3].startswith("email-")]
    problems = []
    if not outputs:
        problems.append(f"{what}: no file was renamed into place below {out}")
    for position, folder, source, target in outputs:
        if not data_synced_before(position, folder, source):
            problems.append(f"{what}: '{target}' got its name before its data was synced")
        if not any(p > position for p in synced_at(folder)):
            problems.append(f"{what}: '{folder}' was not synced after '{target}' got its name")
    message_files = [u for u in unlinks if re.fullmatch(r"email-\d+\.eml", u[2])]
    if len(message_files) != 3:
        problems.append(f"{what}: {len(message_files)} message files deleted, not 3")
    for position, _, name in message_files:
        for renamed, folder, _, target in outputs:
            if renamed < position and not any(renamed < p < position for p in synced_at(folder)):
                problems.append(f"{what}: {name} was deleted before the rename to '{target}' was synced")
    indexes = [path for _, path, _ in syncs if path and path.endswith("Tessaly index.csv")]
    last_unlink = max((u[0] for u in message_files), default=-1)
    if not any(p > last_unlink for p, path, _ in syncs if path and path.endswith("Tessaly index.csv")):
        problems.append(f"{what}: the index was not synced after the last message ({len(indexes)} index syncs)")
    return problems


def traced_run(cli, work, name, options):
    out = os.path.join(work, name)
    box = os.path.join(work, "box.mbox")
    log = os.path.join(work, name + ".strace")
    result = subprocess.run(["strace", "-f", "-y", "-qq", "-o", log, "-e", "trace=" + CALLS, cli, "--output", out,
                             "--jobs", "1", *options, box], capture_output=True, text=True, timeout=600)
    if result.returncode != 0:
        sys.exit(f"{name}: tessaly-cli under strace exited with {result.returncode}:\n{result.stderr}")
    with open(log, errors="replace") as file:
        return order_problems(file.read(), os.path.realpath(out), name)


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    cli, work = sys.argv[1], os.path.abspath(sys.argv[2])
    if not shutil.which("strace"):
        print("strace is missing: skipped")
        return SKIP
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    if subprocess.run(["strace", "-qq", "-o", os.devnull, "true"]).returncode != 0:
        print("strace cannot trace here: skipped")
        return SKIP
    mailbox(os.path.join(work, "box.mbox"))
    problems = traced_run(cli, work, "pdf", ["--attachments", "folder"])
    problems += traced_run(cli, work, "eml", ["--format", "eml"])
    for problem in problems:
        print(problem)
    if problems:
        return 1
    print("every output was synced before its name, its folder after, and the message file went last")
    return 0


if __name__ == "__main__":
    sys.exit(main())
