"""Messages crafted to make one step of a conversion slow or hungry, each at a chosen size.

Each maker takes n, the size of its input (the count or length the row is named for), and
returns the message's bytes with an mbox "From " line. FULL_SIZES are the sizes at which
they were first found to stall a run or use gigabytes.
"""
import base64
import struct
import zlib

ENVELOPE = b"From crafted@example.com Mon Jan  2 10:00:00 2023\n"


SENDER = b"From: Crafted <crafted@example.com>"


def _message(subject, body, content_type="text/plain; charset=utf-8", extra=b""):
    head = (SENDER + b"\nTo: r@example.com\nDate: Mon, 2 Jan 2023 10:00:00 +0100\n"
            b"Subject: " + subject + b"\nMIME-Version: 1.0\nContent-Type: " + content_type.encode() + b"\n" + extra)
    return ENVELOPE + head + b"\n" + body + b"\n"


def _related(subject, html, parts):
    body = b"--rel\nContent-Type: text/html; charset=utf-8\n\n" + html + b"\n"
    for headers, data in parts:
        body += b"--rel\n" + headers + b"\n\n" + data + b"\n"
    return _message(subject, body + b"--rel--\n", 'multipart/related; boundary="rel"')


def _base64_lines(data):
    encoded = base64.b64encode(data)
    return b"\n".join(encoded[i:i + 76] for i in range(0, len(encoded), 76))


def png(width, height):
    """A real, all-black RGB PNG of the given size."""
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)
    # Every row is a filter byte 0 and black pixels: the raw image is all zero bytes.
    compressor = zlib.compressobj(9)
    left = height * (1 + 3 * width)
    zeros = b"\0" * (8 * 1024 * 1024)
    idat = b""
    while left > 0:
        idat += compressor.compress(zeros[:min(left, len(zeros))])
        left -= len(zeros)
    idat += compressor.flush()
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", idat) + chunk(b"IEND", b""))


def nested_divs(n):
    return _message(b"Nested divs", b"<html><body>" + b"<div>" * n + b"deep text" + b"</div>" * n + b"</body></html>",
                    "text/html; charset=utf-8")


def divs_then_stray_end_tags(n):
    return _message(b"Stray end tags", b"<html><body>" + b"<div>" * n + b"text" + b"</b>" * n + b"</body></html>",
                    "text/html; charset=utf-8")


def unterminated_encoded_words(n):
    # Folded, as a long header line would be.
    words = [b"=?a?Q?x"] * n
    subject = b"\n ".join(b" ".join(words[i:i + 8]) for i in range(0, n, 8))
    return _message(subject, b"The subject is a trap.")


def same_name_attachments(n):
    body = b"--mix\nContent-Type: text/plain\n\nMany files of one name.\n"
    part = (b"--mix\nContent-Type: text/plain; name=\"same.txt\"\n"
            b"Content-Disposition: attachment; filename=\"same.txt\"\n\nsame\n")
    return _message(b"Same-name attachments", body + part * n + b"--mix--\n", 'multipart/mixed; boundary="mix"')


def one_long_line(n):
    words = b"abcdefghi " * (n // 10)
    return _message(b"One long line", words)


def huge_png(side):
    return _related(b"A huge picture", b"<p>A picture:</p><img src=\"cid:huge@x\">",
                    [(b"Content-Type: image/png\nContent-ID: <huge@x>\nContent-Transfer-Encoding: base64",
                      _base64_lines(png(side, side)))])


def huge_subject(n):
    return _message(b"S" * n, b"The subject is long.")


def many_inline_images(n):
    pixel = _base64_lines(png(1, 1))
    html = b"<p>Pictures:</p>" + b"".join(b"<img src=\"cid:p%d@x\">" % i for i in range(n))
    return _related(b"Many pictures", html,
                    [(b"Content-Type: image/png\nContent-ID: <p%d@x>\nContent-Transfer-Encoding: base64" % i, pixel)
                     for i in range(n)])


def tall_div(n):
    # 761 bytes in the probe that found it: Chromium laid it out to 37,283 pages.
    return _message(b"A tall div", b'<div style="height:%dpx">top</div><p>under the div</p>' % n,
                    "text/html; charset=utf-8")


def many_short_lines(n):
    return _message(b"Many short lines", b"".join(b"line %d\n" % i for i in range(n)))


# name, maker, the size at which the row was found (n), what n counts
ROWS = [
    ("nested divs", nested_divs, 100_000, "divs"),
    ("divs then stray </b>", divs_then_stray_end_tags, 100_000, "tags of each kind"),
    ("unterminated encoded words", unterminated_encoded_words, 150_000, "words"),
    ("same-name attachments", same_name_attachments, 20_000, "attachments"),
    ("one long plain line", one_long_line, 2 * 1024 * 1024, "bytes"),
    ("huge inline PNG", huge_png, 20_000, "pixels a side"),
    ("huge subject", huge_subject, 200 * 1024 * 1024, "bytes"),
    ("many inline images", many_inline_images, 20_000, "images"),
    ("tall div", tall_div, 50_000_000, "pixels"),
    ("many short lines", many_short_lines, 500_000, "lines"),
]


def scaled_rows(scale):
    """(name, message bytes) for each row at `scale` times the size it was found at. The
    picture's side stays above the drawing budget (8192 pixels), so that every row still tests
    what it is named for within seconds. The page floods keep the size they were found at: the
    page budget (2,000 pages) bounds their cost, and a smaller flood would not reach it."""
    for name, make, full, _ in ROWS:
        size = int(full * scale)
        if make is huge_png:
            size = max(int(full * scale * 5), 8200)
        elif make in (tall_div, many_short_lines):
            size = full
        yield name, make(max(size, 1))


def with_sender(message, name):
    """The message with its From header's display name replaced by `name`."""
    return message.replace(SENDER, b"From: " + name.encode() + b" <crafted@example.com>", 1)


def normal_message(name):
    return with_sender(_message(b"Ordinary", b"An ordinary message after a crafted one."), name)
