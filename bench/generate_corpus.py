#!/usr/bin/env python3
"""Writes a mixed corpus of message files for convert_bench.

Each file is one message, named after its kind: plain, plainlong and intlplain are plain
text; outlook (HTML with an inline image), newsletter (nested tables), intlhtml and
htmllong are HTML. Deterministic for a given seed.
"""
import argparse
import base64
import os
import random
import struct
import zlib

WORDS = ("the quarterly report budget meeting project schedule review draft customer invoice "
         "delivery team update please find attached thanks regards tomorrow office plan").split()

SCRIPTS = [
    "Grüße aus München über die Straße, schöne Größe",
    "Привет из Москвы, отчёт прилагается к письму",
    "会議は明日の午後三時からです。資料を確認してください。",
    "مرحبا بكم في الاجتماع غدا في المكتب الرئيسي",
    "שלום לכולם, הפגישה מחר בשעה עשר",
    "Καλημέρα σας, η συνάντηση είναι αύριο",
    "नमस्ते, कल की बैठक के लिए धन्यवाद",
    "안녕하세요, 내일 회의가 있습니다",
]


def sentence(rng, n=12):
    return " ".join(rng.choice(WORDS) for _ in range(n)).capitalize() + "."


def png(width, height, seed):
    rows = b""
    for y in range(height):
        row = bytearray([0])
        for x in range(width):
            row += bytes(((x * 3 + seed) % 256, (y * 4) % 256, (x + y + seed * 7) % 256))
        rows += bytes(row)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(rows, 6)) + chunk(b"IEND", b"")


def headers(rng, subject, content_type, number):
    day = 1 + number % 28
    return (f"From sender{number}@example.com Mon Jan  2 10:00:00 2023\r\n"
            f"From: Sender {number} <sender{number}@example.com>\r\n"
            f"To: Team <team@example.org>\r\n"
            f"Date: Tue, {day:02d} Mar 2021 09:{number % 60:02d}:00 +0100\r\n"
            f"Subject: {subject}\r\nMIME-Version: 1.0\r\nMessage-ID: <m{number}@example.com>\r\n"
            f"Content-Type: {content_type}\r\n")


def b64(text):
    data = base64.encodebytes(text.encode("utf-8")).decode("ascii").replace("\n", "\r\n")
    return "Content-Transfer-Encoding: base64\r\n\r\n" + data


def plain(rng, n):
    body = "\n\n".join(sentence(rng, rng.randint(8, 30)) for _ in range(rng.randint(2, 8)))
    body += "\n\n> " + sentence(rng) + "\n> " + sentence(rng) + "\n\n-- \nSender"
    return headers(rng, f"Plain {n}", "text/plain; charset=utf-8", n) + b64(body)


def plain_long(rng, n):
    body = "\n".join(f"{line:4d} " + sentence(rng, rng.randint(5, 20)) for line in range(600))
    return headers(rng, f"Long plain {n}", "text/plain; charset=utf-8", n) + b64(body)


def intl_plain(rng, n):
    body = "\n".join(rng.choice(SCRIPTS) for _ in range(30)) + "\n😀 🎉"
    return headers(rng, f"International {n}", "text/plain; charset=utf-8", n) + b64(body)


def intl_html(rng, n):
    paragraphs = "".join(f"<p dir=auto>{rng.choice(SCRIPTS)}</p>" for _ in range(30))
    return headers(rng, f"International HTML {n}", "text/html; charset=utf-8", n) + b64(
        f"<html><body style='font-family:Arial'>{paragraphs}</body></html>")


def outlook(rng, n):
    image = base64.encodebytes(png(240, 80, n)).decode("ascii").replace("\n", "\r\n")
    cid = f"image001.png@01D7{n:04X}"
    paragraphs = "".join(f"<p class=MsoNormal><span style='font-family:\"Calibri\",sans-serif'>{sentence(rng, 20)}</span></p>"
                         for _ in range(rng.randint(3, 10)))
    html = ("<html xmlns:o=\"urn:schemas-microsoft-com:office:office\"><head><style>"
            "@page WordSection1{size:612.0pt 792.0pt;margin:70.85pt 70.85pt 2.0cm 70.85pt;}"
            "div.WordSection1{page:WordSection1;} p.MsoNormal{margin:0cm;font-size:11.0pt;font-family:\"Calibri\",sans-serif;}"
            "</style></head><body lang=EN-US><div class=WordSection1>" + paragraphs +
            f"<p class=MsoNormal><img width=240 height=80 src=\"cid:{cid}\" alt=\"Logo\"></p>"
            "<p class=MsoNormal>Kind regards,<br>Sender</p></div></body></html>")
    return (headers(rng, f"Outlook {n}", "multipart/related; boundary=\"rel\"; type=\"text/html\"", n) +
            "\r\n--rel\r\nContent-Type: text/html; charset=utf-8\r\n" + b64(html) +
            f"\r\n--rel\r\nContent-Type: image/png; name=\"image001.png\"\r\nContent-ID: <{cid}>\r\n"
            "Content-Disposition: inline; filename=\"image001.png\"\r\nContent-Transfer-Encoding: base64\r\n\r\n" +
            image + "\r\n--rel--\r\n")


def newsletter(rng, n):
    items = ""
    for i in range(rng.randint(4, 10)):
        items += ("<tr><td style='padding:12px 24px;border-bottom:1px solid #ddd'>"
                  "<table width='100%' cellpadding=0 cellspacing=0><tr>"
                  f"<td width=120 valign=top><img src='https://cdn.example.com/n{n}/i{i}.jpg' width=100 height=80 alt='item {i}'></td>"
                  f"<td valign=top style='font:14px/1.4 Helvetica,Arial,sans-serif;color:#333'><h3 style='margin:0 0 6px'>{sentence(rng, 5)}</h3>"
                  f"{sentence(rng, 30)} <a href='https://example.com/{i}' style='color:#0a66c2'>Read more</a></td>"
                  "</tr></table></td></tr>")
    html = ("<html><body style='margin:0;background:#f4f4f4'><table width='100%' bgcolor='#f4f4f4'><tr><td align=center>"
            "<table width=600 cellpadding=0 cellspacing=0 style='background:#fff;border-radius:6px'>"
            "<tr><td style='background:#0a66c2;color:#fff;padding:20px 24px;font:bold 22px Arial'>Weekly News</td></tr>"
            + items +
            "<tr><td style='padding:16px 24px;font:11px Arial;color:#888'>Unsubscribe · Preferences"
            "<img src='https://track.example.com/open.gif' width=1 height=1></td></tr>"
            "</table></td></tr></table></body></html>")
    plain_part = "Weekly News\n\n" + sentence(rng, 40)
    return (headers(rng, f"Newsletter {n}", "multipart/alternative; boundary=\"alt\"", n) +
            "\r\n--alt\r\nContent-Type: text/plain; charset=utf-8\r\n" + b64(plain_part) +
            "\r\n--alt\r\nContent-Type: text/html; charset=utf-8\r\n" + b64(html) + "\r\n--alt--\r\n")


def html_long(rng, n):
    body = "".join(f"<h2>Section {s}</h2>" + "".join(f"<p>{sentence(rng, 40)}</p>" for _ in range(12)) for s in range(12))
    return headers(rng, f"Long HTML {n}", "text/html; charset=utf-8", n) + b64(f"<html><body>{body}</body></html>")


KINDS = [("plain", plain, 40), ("plainlong", plain_long, 20), ("intlplain", intl_plain, 20),
         ("outlook", outlook, 50), ("newsletter", newsletter, 50), ("intlhtml", intl_html, 20),
         ("htmllong", html_long, 20)]


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("folder")
    parser.add_argument("--seed", type=int, default=7)
    parser.add_argument("--big", metavar="FILE", help="also write one message of about 100 MB (mostly an attachment) to FILE")
    args = parser.parse_args()
    os.makedirs(args.folder, exist_ok=True)
    rng = random.Random(args.seed)
    number = 0
    for kind, make, count in KINDS:
        for i in range(count):
            number += 1
            with open(os.path.join(args.folder, f"{kind}-{i + 1:03d}.eml"), "w", encoding="utf-8", newline="") as out:
                out.write(make(rng, number))
    print(f"generate_corpus: wrote {number} messages to {args.folder}")
    if args.big:
        write_big(args.big, rng)


def write_big(path, rng):
    """About 100 MB: a 1 MB plain-text body and 73 MB of random bytes as a base64 attachment."""
    body = "\n".join(sentence(rng, 20) for _ in range(8000))
    with open(path, "w", encoding="utf-8", newline="") as out:
        out.write(headers(rng, "Big message", "multipart/mixed; boundary=\"big\"", 0))
        out.write("\r\n--big\r\nContent-Type: text/plain; charset=utf-8\r\n" + b64(body))
        out.write("\r\n--big\r\nContent-Type: application/octet-stream; name=\"data.bin\"\r\n"
                  "Content-Disposition: attachment; filename=\"data.bin\"\r\nContent-Transfer-Encoding: base64\r\n\r\n")
        # Chunks of a multiple of 3 bytes, so that no "=" padding lands inside the part.
        for _ in range(97):
            out.write(base64.encodebytes(os.urandom(3 << 18)).decode("ascii").replace("\n", "\r\n"))
        out.write("\r\n--big--\r\n")
    print(f"generate_corpus: wrote {os.path.getsize(path) // (1 << 20)} MB message to {path}")


if __name__ == "__main__":
    main()
