#!/usr/bin/env python3
"""Writes a set of hostile mailboxes and a manifest of how many messages each holds.

Usage: make_adversarial_mailboxes.py OUTPUT_FOLDER [--small]

Every mailbox comes in LF, CR LF and CR form. The manifest (manifest.json) maps each
mailbox's path to the number of messages in it, so a converter can be checked for losing
or merging any. contents.json lists what must come back from the converted PDFs (their
text or their embedded files) unless the message's file was kept: "texts", lines of
bodies, and "attachments", the name and SHA-256 of attached files.
"""
import base64
import hashlib
import json
import os
import random
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import crafted_messages  # noqa: E402

CJK = "".join(chr(0x4E00 + (i * 37) % 20000) for i in range(500))


def message(subject, body, headers=None, envelope="From sender@example.com Mon Jan  2 10:00:00 2023"):
    lines = [envelope]
    if headers is None:
        headers = [
            "From: Sender <sender@example.com>",
            "To: Receiver <receiver@example.com>",
            "Date: Mon, 2 Jan 2023 10:00:00 +0100",
            f"Subject: {subject}",
            "MIME-Version: 1.0",
            "Content-Type: text/plain; charset=utf-8",
        ]
    lines += headers
    lines.append("")
    return "\n".join(lines).encode("utf-8") + b"\n" + body + b"\n"


def multipart(subject, parts, boundary="b0undary", close=True, extra_headers=()):
    head = [
        "From: Sender <sender@example.com>",
        "To: receiver@example.com",
        "Date: Tue, 3 Jan 2023 11:00:00 +0000",
        f"Subject: {subject}",
        "MIME-Version: 1.0",
        f'Content-Type: multipart/mixed; boundary="{boundary}"',
        *extra_headers,
    ]
    body = b""
    for part_headers, part_body in parts:
        body += f"--{boundary}\n".encode() + "\n".join(part_headers).encode() + b"\n\n" + part_body + b"\n"
    if close:
        body += f"--{boundary}--\n".encode()
    return message(subject, body, head)


def base64_lines(data):
    encoded = base64.b64encode(data)
    return b"\n".join(encoded[i:i + 76] for i in range(0, len(encoded), 76))


# What must come back from the PDFs of the messages below (see contents.json).
MUST_COME_BACK = {"texts": [], "attachments": []}


def many_large_text_parts(small):
    """24 text parts of 1.9 MB: each under the body limit, together they once gave a blank
    page that passed as converted."""
    parts = []
    for number in range(1, 25):
        line = f"part {number} line of a text part that goes on and on\n".encode()
        text = line * ((1900 * 1024 if not small else 2048) // len(line)) + f"end of part {number}.".encode()
        parts.append((["Content-Type: text/plain; charset=us-ascii"], text))
        MUST_COME_BACK["texts"].append(f"end of part {number}.")
    return multipart("Many large text parts", parts)


def stray_equals_in_base64(small):
    """A gateway's "=" at every base64 line end: GMime stopped decoding at the first one."""
    data = bytes(random.Random(99).getrandbits(8) for _ in range(50_000 if not small else 5_000))
    MUST_COME_BACK["attachments"].append({"name": "stray.bin", "sha256": hashlib.sha256(data).hexdigest()})
    encoded = base64_lines(data).replace(b"\n", b"=\n")
    return multipart("Stray = in base64", [
        (["Content-Type: text/plain"], b"The attachment must arrive whole."),
        (["Content-Type: application/octet-stream; name=\"stray.bin\"", "Content-Transfer-Encoding: base64",
          f"Content-Disposition: attachment; filename=\"stray.bin\"; size={len(data)}"], encoded),
    ])


def hostile_messages(small):
    rng = random.Random(1234)
    yield message("An ordinary message", b"Hello,\n\nnothing special here.\n\nAnn")
    yield message("", b"", headers=[])  # no headers and no body at all
    yield message("no headers", b"Only a body, no header lines at all.", headers=[])
    yield message("No body", b"")
    line = ("x" * 99 + " ") * (2 * 1024 * 1024 // 100 if not small else 2000)
    yield message("A two megabyte line", line.encode())
    yield message("NUL bytes", b"before\x00after\x00\x00end")
    yield multipart("Broken boundary", [(["Content-Type: text/plain"], b"first part")], boundary="abc",
                    close=False)
    yield multipart("Wrong boundary", [(["Content-Type: text/plain"], b"text")], boundary="right").replace(
        b"--right\n", b"--wrong\n")
    yield multipart("Bad base64", [
        (["Content-Type: text/plain"], b"see attachment"),
        (["Content-Type: application/octet-stream; name=\"bad.bin\"", "Content-Transfer-Encoding: base64",
          "Content-Disposition: attachment; filename=\"bad.bin\""], b"@@@ not base64 !!!\n====\nQUJD*&^"),
    ])
    yield message("Wrong charset label caf\xe9", "Latin-1 text: café, naïve, Größe".encode("latin-1"),
                  headers=["From: x@example.com", "Subject: Latin-1 labelled utf-8",
                           "Content-Type: text/plain; charset=utf-8"])
    yield message("Unknown charset", "Text in KOI8-R: Привет".encode("koi8_r"),
                  headers=["From: x@example.com", "Subject: unknown label",
                           "Content-Type: text/plain; charset=x-no-such-charset"])
    for _ in range(3):
        yield message("Re: meeting", b"Same subject as its neighbours.")
    yield message(CJK, "日本語の本文です。".encode())
    size = 20 * 1024 * 1024 if not small else 200 * 1024
    blob = bytes(rng.getrandbits(8) for _ in range(4096)) * (size // 4096)
    yield multipart("Twenty megabytes", [
        (["Content-Type: text/plain"], b"A large attachment follows."),
        (["Content-Type: application/octet-stream; name=\"big.bin\"", "Content-Transfer-Encoding: base64",
          "Content-Disposition: attachment; filename=\"big.bin\""], base64_lines(blob)),
    ])
    yield many_large_text_parts(small)
    yield stray_equals_in_base64(small)
    yield message("HTML", b"<html><body><h1>Hi</h1><img src=\"http://example.com/x.png\"></body></html>",
                  headers=["From: x@example.com", "Subject: HTML", "Content-Type: text/html"])
    # Messages that once stalled a run or took gigabytes, each followed by an ordinary one.
    for _, crafted in crafted_messages.scaled_rows(0.002 if small else 0.005):
        yield crafted
        yield message("After a crafted message", b"Ordinary.")


def with_line_ends(data, form):
    lf = data.replace(b"\r\n", b"\n")
    if form == "lf":
        return lf
    if form == "crlf":
        return lf.replace(b"\n", b"\r\n")
    return lf.replace(b"\n", b"\r")


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    out = sys.argv[1]
    small = "--small" in sys.argv[2:]
    os.makedirs(out, exist_ok=True)
    messages = list(hostile_messages(small))
    manifest = {}
    for form in ("lf", "crlf", "cr"):
        path = os.path.join(out, f"hostile-{form}.mbox")
        with open(path, "wb") as mailbox:
            for data in messages:
                mailbox.write(with_line_ends(data, form))
        manifest[os.path.abspath(path)] = len(messages)
    with open(os.path.join(out, "manifest.json"), "w") as file:
        json.dump(manifest, file, indent=1)
    with open(os.path.join(out, "contents.json"), "w") as file:
        json.dump(MUST_COME_BACK, file, indent=1)


if __name__ == "__main__":
    main()
