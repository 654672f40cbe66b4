#!/usr/bin/env python3
"""Runs N shards of a generated mailbox set with a launcher (GNU parallel by default) and
checks that, together, they wrote exactly the messages of a single run: each message's text
once, none missing, none twice; and that a re-run of every shard converts nothing again.

Usage: shard_union.py TESSALY_CLI WORK_FOLDER [--launcher LAUNCHER...]

Launchers, as the manual's recipes use them: parallel (GNU parallel on this machine),
sshlogin (GNU parallel's --sshlogin, with ":" for this machine), indexed-job (the command of
a Kubernetes Indexed Job's pods, given JOB_COMPLETION_INDEX), slurm (a job array submitted
with sbatch --wait; needs a running cluster, which tests/scale/slurm.sh starts). The default
is the first three, with the PDF case under GNU parallel."""

import collections
import os
import random
import shutil
import subprocess
import sys
from pathlib import Path

SHARDS = 4
SPLIT_OVER = "6K"  # the big mailbox is cut into ranges; the others stay whole


def message(box, number, line_end, rng):
    body = line_end.join(f"{box} message {number} line {i} " + "x" * rng.randint(0, 60)
                         for i in range(rng.randint(1, 25)))
    lines = [f"From sender{number}@example.org Mon Jan  1 00:00:00 2024",
             f"From: Sender {number} <s{number}@example.org>",
             "To: Ann <ann@example.org>",
             f"Message-ID: <{box}.{number}@example.org>",
             f"Date: Mon, {number % 28 + 1} Jan 2024 10:00:00 +0000",
             # Same subjects, so names collide and shards must not overwrite one another.
             f"Subject: Report {number % 3}",
             "",
             f"unique token {box}-{number}",
             body,
             ">From a quoted line, not a separator",
             ""]
    return line_end.join(lines) + line_end


def generate(folder, rng, big_count):
    mailboxes = {"Inbox/a.mbox": 4, "Inbox/b.mbox": 7, "Archive/2023/c.mbx": 3,
                 "Archive/big.mbox": big_count, "empty.mbox": 0}
    for name, count in mailboxes.items():
        path = folder / name
        path.parent.mkdir(parents=True, exist_ok=True)
        line_end = "\r\n" if "b.mbox" in name else "\n"
        path.write_bytes("".join(message(path.stem, n, line_end, rng) for n in range(count)).encode())
    return mailboxes


def outputs(root, fmt):
    """Per mailbox folder: the multiset of message texts written, and the index rows."""
    texts = collections.defaultdict(collections.Counter)
    converted_rows = collections.defaultdict(collections.Counter)
    for path in root.rglob("*"):
        if not path.is_file():
            continue
        folder = str(path.parent.relative_to(root))
        if path.name.startswith("Tessaly index"):
            for line in path.read_text(encoding="utf-8-sig").splitlines()[1:]:
                fields = line.split(",")
                if "converted" in fields:
                    converted_rows[folder][(fields[1], fields[2], fields[3])] += 1
        elif fmt == "pdf" and path.suffix == ".pdf":
            text = subprocess.run(["pdftotext", str(path), "-"], capture_output=True, text=True, check=True).stdout
            token = next(line for line in text.splitlines() if line.startswith("unique token"))
            texts[folder][token] += 1
        elif fmt == "eml" and path.suffix == ".eml":
            texts[folder][path.read_bytes()] += 1
        else:
            raise SystemExit(f"unexpected file in the output: {path}")
    return texts, converted_rows


def run_shards(cli, launcher, inputs, out, fmt):
    """Runs the SHARDS shards the way the manual's recipe for `launcher` does."""
    command = [cli, "--format", fmt, "--split-over", SPLIT_OVER, "-o", str(out)]
    quiet = {"stdout": subprocess.DEVNULL, "stderr": subprocess.DEVNULL}
    if launcher in ("parallel", "sshlogin"):
        # "-S 4/:" is the --sshlogin syntax with ":" standing for this machine; all the shards
        # share it, so each draws one message at a time.
        where = ["-j", str(SHARDS)] if launcher == "parallel" else ["-S", f"{SHARDS}/:"]
        subprocess.run(["parallel", "--halt", "now,fail=1", *where, *command, "--jobs", "1",
                        "--shard", "{}/" + str(SHARDS),
                        *inputs, ":::", *map(str, range(SHARDS))], check=True, **quiet)
    elif launcher == "indexed-job":
        # What each pod of a Kubernetes Indexed Job runs, with its JOB_COMPLETION_INDEX.
        script = " ".join(f"'{part}'" for part in [*command, *inputs]) + f" --shard $JOB_COMPLETION_INDEX/{SHARDS}"
        pods = [subprocess.Popen(["sh", "-c", "exec " + script], env={**os.environ, "JOB_COMPLETION_INDEX": str(k)},
                                 **quiet) for k in range(SHARDS)]
        if any(pod.wait() != 0 for pod in pods):
            raise SystemExit("a shard failed")
    elif launcher == "slurm":
        script = " ".join(f"'{part}'" for part in [*command, *inputs])
        wrap = f"exec {script} --jobs $SLURM_CPUS_PER_TASK --shard $SLURM_ARRAY_TASK_ID/$SLURM_ARRAY_TASK_COUNT"
        subprocess.run(["sbatch", "--wait", f"--array=0-{SHARDS - 1}", "--cpus-per-task=1", "--output",
                        str(out.parent / "slurm-%A_%a.log"), "--wrap", wrap], check=True, stdout=subprocess.DEVNULL)
    else:
        raise SystemExit(f"unknown launcher {launcher}")


def check(cli, work, launcher, fmt, big_count):
    if work.exists():
        shutil.rmtree(work)
    source = work / "mail"
    generate(source, random.Random(1208), big_count)
    inputs = [str(source)]

    single = work / "single"
    subprocess.run([cli, "--format", fmt, "-o", str(single), *inputs], check=True, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL)
    sharded = work / "sharded"
    run_shards(cli, launcher, inputs, sharded, fmt)

    want_texts, want_rows = outputs(single, fmt)
    got_texts, got_rows = outputs(sharded, fmt)
    problems = []
    for folder in sorted(set(want_texts) | set(got_texts)):
        missing = want_texts[folder] - got_texts[folder]
        extra = got_texts[folder] - want_texts[folder]
        if missing or extra:
            problems.append(f"{folder}: {sum(missing.values())} missing, {sum(extra.values())} extra")
        if want_rows[folder] != got_rows[folder]:
            problems.append(f"{folder}: the index rows differ from a single run's")
        if any(count > 1 for count in got_texts[folder].values()):
            problems.append(f"{folder}: a message was written twice")
    total = sum(sum(c.values()) for c in want_texts.values())
    if total != sum(sum(c.values()) for c in got_texts.values()):
        problems.append("the message counts differ")

    # Every shard again, into the same folder: all resumed, nothing converted twice.
    run_shards(cli, launcher, inputs, sharded, fmt)
    again_texts, _ = outputs(sharded, fmt)
    if again_texts != got_texts:
        problems.append("a re-run of the shards converted messages again")

    for problem in problems:
        print(f"FAIL ({fmt}): {problem}")
    print(f"{fmt}: {total} messages, {SHARDS} shards via {launcher}: {'ok' if not problems else 'FAILED'}")
    return not problems


def main():
    if len(sys.argv) < 3:
        raise SystemExit(__doc__)
    cli, work = sys.argv[1], Path(sys.argv[2])
    launchers = sys.argv[4:] if len(sys.argv) > 4 and sys.argv[3] == "--launcher" else []
    os.environ.setdefault("QTWEBENGINE_DISABLE_SANDBOX", "1")
    ok = True
    for launcher in launchers or ["parallel", "sshlogin", "indexed-job"]:
        ok = check(cli, work / f"eml-{launcher}", launcher, "eml", 150) and ok
    ok = check(cli, work / "pdf", (launchers or ["parallel"])[0], "pdf", 10) and ok
    sys.exit(0 if ok else 1)


if __name__ == "__main__":
    main()
