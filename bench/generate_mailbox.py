#!/usr/bin/env python3
"""Writes an mbox mailbox of realistic messages (LF line ends) for the splitting benchmark.

Usage: generate_mailbox.py OUTPUT [SIZE_MB] [--seed N]

About half the messages are plain text, a third HTML (multipart/alternative), the rest carry
base64 attachments. Bodies hold quoted ">From " lines, and headers the usual Received chain.
"""
import argparse
import base64
import random
import sys

WORDS = ("the of and to in is for on that with as by this from be at or are it an have not was "
         "meeting report budget quarter project deadline review draft schedule invoice contract "
         "please thanks regards attached update question answer customer release version server "
         "Grüße über Straße naïve café résumé").split()

NAMES = ["Ann Smith", "Bob Jones", "Carla Díaz", "Dmitri Ivanov", "Eve Müller", "Fang Li", "Gus O'Neil"]
DOMAINS = ["example.org", "example.com", "mail.example.net", "corp.example"]
DAYS = ["Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"]
MONTHS = ["Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"]


def paragraph(rng):
    words = [rng.choice(WORDS) for _ in range(rng.randint(20, 120))]
    lines, line = [], ""
    for word in words:
        if len(line) + len(word) + 1 > 72:
            lines.append(line)
            line = word
        else:
            line = (line + " " + word).strip()
    lines.append(line)
    if rng.random() < 0.1:
        lines.append(">From the archive, as promised.")
    return "\n".join(lines)


def address(rng):
    name = rng.choice(NAMES)
    return name, name.split()[0].lower().replace("'", "") + "@" + rng.choice(DOMAINS)


def envelope_and_headers(rng, number, content_type):
    name, sender = address(rng)
    _, recipient = address(rng)
    day, month = rng.randint(1, 28), rng.randrange(12)
    year, hour, minute = rng.randint(2005, 2024), rng.randint(0, 23), rng.randint(0, 59)
    when = "%s %s %2d %02d:%02d:00 %d" % (DAYS[(day + month) % 7], MONTHS[month], day, hour, minute, year)
    date = "%s, %d %s %d %02d:%02d:00 +0100" % (DAYS[(day + month) % 7], day, MONTHS[month], year, hour, minute)
    subject = " ".join(rng.choice(WORDS) for _ in range(rng.randint(2, 8)))
    return (
        "From %s %s\n" % (sender, when)
        + "Return-Path: <%s>\n" % sender
        + "Received: from mx%d.%s (mx%d.%s [192.0.2.%d])\n\tby inbound.example.net with ESMTPS id %08x\n\tfor <%s>; %s\n"
        % (number % 7, DOMAINS[number % 4], number % 7, DOMAINS[number % 4], number % 250, number, recipient, date)
        + "Received: from localhost (localhost [127.0.0.1])\n\tby mx.%s; %s\n" % (DOMAINS[number % 4], date)
        + "Date: %s\n" % date
        + "From: %s <%s>\n" % (name, sender)
        + "To: %s\n" % recipient
        + "Subject: %s\n" % subject
        + "Message-ID: <%d.%08x@%s>\n" % (number, rng.getrandbits(32), DOMAINS[number % 4])
        + "MIME-Version: 1.0\n"
        + "Content-Type: %s\n" % content_type
    )


def text_body(rng, paragraphs, low, high):
    return "\n\n".join(rng.choice(paragraphs) for _ in range(rng.randint(low, high)))


def plain_message(rng, number, paragraphs):
    return (envelope_and_headers(rng, number, "text/plain; charset=utf-8")
            + "Content-Transfer-Encoding: 8bit\n\n" + text_body(rng, paragraphs, 2, 12) + "\n\n")


def html_message(rng, number, paragraphs):
    boundary = "alt-%08x" % rng.getrandbits(32)
    text = text_body(rng, paragraphs, 4, 20)
    html = "<html><body>\n" + "\n".join("<p style=\"margin:0 0 1em 0\">%s</p>" % p.replace("\n", " ")
                                          for p in text.split("\n\n")) + "\n</body></html>"
    return (envelope_and_headers(rng, number, "multipart/alternative; boundary=\"%s\"" % boundary) + "\n"
            + "--%s\nContent-Type: text/plain; charset=utf-8\n\n%s\n" % (boundary, text)
            + "--%s\nContent-Type: text/html; charset=utf-8\n\n%s\n" % (boundary, html)
            + "--%s--\n\n" % boundary)


def attachment_message(rng, number, paragraphs, blobs):
    boundary = "mix-%08x" % rng.getrandbits(32)
    blob = rng.choice(blobs)
    length = rng.randint(20_000, len(blob)) // 77 * 77
    start = rng.randrange(0, len(blob) - length + 1) // 77 * 77
    name, kind = rng.choice([("report.pdf", "application/pdf"), ("photo.jpg", "image/jpeg"),
                             ("data.zip", "application/zip"), ("Übersicht.xlsx", "application/vnd.ms-excel")])
    return (envelope_and_headers(rng, number, "multipart/mixed; boundary=\"%s\"" % boundary) + "\n"
            + "--%s\nContent-Type: text/plain; charset=utf-8\n\n%s\n" % (boundary, text_body(rng, paragraphs, 1, 4))
            + "--%s\nContent-Type: %s; name=\"%s\"\nContent-Disposition: attachment; filename=\"%s\"\n"
              "Content-Transfer-Encoding: base64\n\n" % (boundary, kind, name, name)
            + blob[start:start + length]
            + "--%s--\n\n" % boundary)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("output")
    parser.add_argument("size_mb", nargs="?", type=float, default=1024.0)
    parser.add_argument("--seed", type=int, default=1)
    args = parser.parse_args()

    rng = random.Random(args.seed)
    paragraphs = [paragraph(rng) for _ in range(3000)]
    blobs = []
    for _ in range(6):
        encoded = base64.encodebytes(rng.randbytes(400_000)).decode("ascii")
        blobs.append(encoded)  # lines of 76 characters plus LF: 77 bytes each

    target = int(args.size_mb * 1024 * 1024)
    written, number = 0, 0
    with open(args.output, "w", encoding="utf-8", newline="\n") as out:
        while written < target:
            number += 1
            kind = rng.random()
            if kind < 0.5:
                message = plain_message(rng, number, paragraphs)
            elif kind < 0.8:
                message = html_message(rng, number, paragraphs)
            else:
                message = attachment_message(rng, number, paragraphs, blobs)
            out.write(message)
            written += len(message.encode("utf-8"))
    print("%s: %d messages, %.1f MB" % (args.output, number, written / 1048576.0), file=sys.stderr)


if __name__ == "__main__":
    main()
