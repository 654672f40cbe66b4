#!/usr/bin/env python3
"""Word recall: how many of the words a mail client shows come back out of each message's PDF.

For a mailbox (or a folder of .eml files, such as generate_corpus.py writes), the words a
client would show are the visible text of the displayed parts, decoded in their charsets:
plain-text parts, and HTML parts without their script, style, head and hidden elements, the
way a browser shows them. The PDFs come from tessaly-cli, and their words from pdftotext.
Prints the recall per message (with the first words that did not come back) and overall.

Words are compared after NFKC and case folding. Scripts written without spaces (Han, kana,
Hangul, Thai, Lao, Khmer, Myanmar) count per character. A word the PDF breaks at a line end
(a long word wrapped, or a hyphen at the wrap) still counts, and so does the lam-alef
ligature, which pdftotext gives in either order. The header block's words are taken out of
the PDF's words first, so that a body word cannot be found only in the header.
"""
import argparse
import collections
import email
import email.header
import email.policy
import html.parser
import os
import re
import subprocess
import sys
import tempfile
import unicodedata

NO_SPACE_RANGES = [
    (0x0E00, 0x0EFF),    # Thai, Lao
    (0x1000, 0x109F),    # Myanmar
    (0x1100, 0x11FF),    # Hangul Jamo
    (0x1780, 0x17FF),    # Khmer
    (0x3040, 0x30FF),    # Hiragana, Katakana
    (0x3130, 0x318F),    # Hangul compatibility Jamo
    (0x3400, 0x4DBF),    # CJK extension A
    (0x4E00, 0x9FFF),    # CJK unified ideographs
    (0xAC00, 0xD7AF),    # Hangul syllables
    (0xF900, 0xFAFF),    # CJK compatibility ideographs
    (0x20000, 0x3FFFF),  # CJK extensions B and later
]


LAM_ALEF_RUN = re.compile("[\u0622\u0623\u0625\u0627\u0644]{2,}")


def is_no_space_script(ch):
    code = ord(ch)
    return any(low <= code <= high for low, high in NO_SPACE_RANGES)


def is_word_char(ch):
    return unicodedata.category(ch)[0] in "LNM" or ch == "_"


def fold(text):
    text = unicodedata.normalize("NFKC", text).casefold().replace("\u00ad", "")
    # pdftotext gives the two letters of a lam-alef ligature in either order: runs of lam
    # and alef count in one order.
    return LAM_ALEF_RUN.sub(lambda run: "".join(sorted(run.group())), text)


def tokens(text):
    words = []
    word = ""
    for ch in fold(text):
        if is_word_char(ch) and not is_no_space_script(ch):
            word += ch
            continue
        if word:
            words.append(word)
            word = ""
        if is_word_char(ch):
            words.append(ch)
    if word:
        words.append(word)
    return words


class VisibleText(html.parser.HTMLParser):
    """The text a browser shows: not script, style, head, title or template, nor what an
    element hides with the hidden attribute or an inline display:none."""

    HIDDEN = {"script", "style", "head", "title", "template"}
    VOID = {"area", "base", "br", "col", "embed", "hr", "img", "input", "link", "meta", "param", "source",
            "track", "wbr"}
    HIDING_STYLE = re.compile(r"display\s*:\s*none|visibility\s*:\s*hidden", re.I)

    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.open = []  # (tag, hides) of the elements open, as far as their end tags tell
        self.hiding = 0
        self.parts = []

    def handle_starttag(self, tag, attrs):
        self.parts.append(" ")
        if tag in self.VOID:
            return
        attributes = dict(attrs)
        hides = (tag in self.HIDDEN or "hidden" in attributes
                 or bool(self.HIDING_STYLE.search(attributes.get("style") or "")))
        self.open.append((tag, hides))
        self.hiding += hides

    def handle_startendtag(self, tag, attrs):
        self.parts.append(" ")

    def handle_endtag(self, tag):
        self.parts.append(" ")
        if not any(open_tag == tag for open_tag, _ in self.open):
            return
        while self.open:
            open_tag, hides = self.open.pop()
            self.hiding -= hides
            if open_tag == tag:
                break

    def handle_data(self, data):
        if not self.hiding:
            self.parts.append(data)


def html_text(markup):
    parser = VisibleText()
    # A body start tag ends the head in browsers even when </head> is missing.
    markup = re.sub(r"(?is)<body\b", lambda m: "</head>" + m.group(0), markup, count=1)
    # HTML5 reads "</>" as nothing and "</" before anything but a letter as a comment.
    markup = re.sub(r"</(?![A-Za-z])[^>]*>", "", markup)
    parser.feed(markup)
    parser.close()
    return "".join(parser.parts)


def part_text(part):
    payload = part.get_payload(decode=True) or b""
    charset = part.get_content_charset() or ""
    for candidate in (charset, "utf-8", "windows-1252"):
        if not candidate:
            continue
        try:
            return payload.decode(candidate)
        except (LookupError, UnicodeDecodeError):
            continue
    return payload.decode("utf-8", "replace")


def is_attachment(part):
    return (part.get("Content-Disposition") or "").strip().lower().startswith("attachment")


def has_html(part):
    return any(p.get_content_type() == "text/html" and not is_attachment(p) for p in part.walk())


def displayed_parts(part):
    """The parts a client shows, in order: the HTML alternative where there is one."""
    ctype = part.get_content_type()
    if part.is_multipart():
        children = part.get_payload()
        if ctype == "multipart/alternative":
            shown = [c for c in children if not is_attachment(c)]
            best = [c for c in shown if has_html(c)] or [c for c in shown if c.get_content_type() == "text/plain"] or shown
            if best:
                yield from displayed_parts(best[-1])
            return
        if ctype == "multipart/related" and children:
            yield from displayed_parts(children[0])
            return
        for child in children:
            yield from displayed_parts(child)
        return
    if ctype in ("text/plain", "text/html") and not is_attachment(part):
        yield part


def client_words(message):
    words = []
    for part in displayed_parts(message):
        text = part_text(part)
        words += tokens(html_text(text) if part.get_content_type() == "text/html" else text)
    return words


def header_words(message):
    text = "From To Cc Date Subject Attachments"
    for name in ("Subject", "From", "To", "Cc"):
        for value in message.get_all(name) or []:
            try:
                text += " " + str(email.header.make_header(email.header.decode_header(str(value))))
            except Exception:  # an undecodable header still gives its raw words
                text += " " + str(value)
    return tokens(text)


def pdf_text(path):
    result = subprocess.run(["pdftotext", "-enc", "UTF-8", path, "-"], capture_output=True)
    return result.stdout.decode("utf-8", "replace")


def recall(expected, pdf, headers):
    """(found, missing words) for the client's words against the PDF's text."""
    available = collections.Counter(tokens(pdf))
    available.subtract(collections.Counter(headers))
    # A word cut at a line end, with or without a hyphen, is still read as one word.
    joined = re.sub(r"\s+", "", re.sub(r"-\s*\n", "", fold(pdf)))
    found = 0
    missing = []
    for word, count in collections.Counter(expected).items():
        direct = min(count, max(available[word], 0))
        found += direct
        if direct < count:
            if word in joined:
                found += count - direct
            else:
                missing += [word] * (count - direct)
    return found, missing


def mailbox_from(path, folder):
    """A single mbox file for `path`: itself, or the .eml files of a folder joined."""
    if os.path.isfile(path):
        return path
    joined = os.path.join(folder, "corpus.mbox")
    with open(joined, "wb") as out:
        for name in sorted(os.listdir(path)):
            if not name.endswith(".eml"):
                continue
            with open(os.path.join(path, name), "rb") as f:
                data = f.read()
            if not data.startswith(b"From "):
                out.write(b"From word-recall@localhost Thu Jan  1 00:00:00 1970\n")
            out.write(data.rstrip(b"\r\n") + b"\n\n")
    return joined


def run_cli(cli, mailbox, output, fmt):
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen", QTWEBENGINE_DISABLE_SANDBOX="1")
    subprocess.run([cli, "-o", output, "--format", fmt, mailbox], env=env, capture_output=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("mailbox", help="an mbox file, or a folder of .eml files")
    parser.add_argument("--cli", default=os.path.join(os.path.dirname(__file__), "..", "build", "cli", "tessaly-cli"))
    parser.add_argument("--missing", type=int, default=8, help="how many missing words to show per message")
    args = parser.parse_args()

    with tempfile.TemporaryDirectory() as work:
        mailbox = mailbox_from(args.mailbox, work)
        # The same run in both formats names each message's .eml and PDF alike.
        run_cli(args.cli, mailbox, os.path.join(work, "eml"), "eml")
        run_cli(args.cli, mailbox, os.path.join(work, "pdf"), "pdf")
        total_expected = total_found = complete = count = 0
        for root, _, files in sorted(os.walk(os.path.join(work, "eml"))):
            for name in sorted(files):
                if not name.endswith(".eml"):
                    continue
                relative = os.path.relpath(os.path.join(root, name), os.path.join(work, "eml"))
                with open(os.path.join(root, name), "rb") as f:
                    message = email.message_from_bytes(f.read(), policy=email.policy.compat32)
                expected = client_words(message)
                pdf_path = os.path.join(work, "pdf", relative[:-4] + ".pdf")
                if not os.path.exists(pdf_path):
                    print(f"{name[:-4]:40.40}  {len(expected):6d} words  no PDF")
                    total_expected += len(expected)
                    count += 1
                    continue
                found, missing = recall(expected, pdf_text(pdf_path), header_words(message))
                share = 100.0 * found / len(expected) if expected else 100.0
                complete += found == len(expected)
                count += 1
                total_expected += len(expected)
                total_found += found
                shown = " ".join(missing[:args.missing])
                print(f"{name[:-4]:40.40}  {len(expected):6d} words  {share:6.2f}%" + (f"  missing: {shown}" if shown else ""))
        overall = 100.0 * total_found / total_expected if total_expected else 100.0
        print(f"overall: {total_found} of {total_expected} words ({overall:.2f}%); "
              f"{complete} of {count} messages at 100%")
    return 0


if __name__ == "__main__":
    sys.exit(main())
