#!/usr/bin/env python3
"""Converts small mailboxes with tessaly-cli --embed-source and checks what each PDF carries.

Usage: check_embedded_source.py TESSALY_CLI WORK_FOLDER

The .eml that pdfdetach takes out of each PDF must equal, byte for byte, the file that
--format eml writes for the same message (the message file without its envelope line), for
an LF mailbox with 8-bit headers, NUL bytes and an attachment, and for a CR-only mailbox;
its SHA-256 must be the one the index file records. Each PDF's XMP metadata must parse and
agree with its document info, and qpdf --check must find the file sound.
"""
import csv
import hashlib
import os
import shutil
import subprocess
import sys
import xml.etree.ElementTree as ElementTree

NAMESPACES = {
    "rdf": "http://www.w3.org/1999/02/22-rdf-syntax-ns#",
    "dc": "http://purl.org/dc/elements/1.1/",
    "xmp": "http://ns.adobe.com/xap/1.0/",
    "pdf": "http://ns.adobe.com/pdf/1.3/",
    "tessaly": "urn:tessaly:email:1.0#",
}

LF_MAILBOX = (
    b"From a@example.org Mon Jan  1 00:00:00 2021\n"
    b"From: J\xf6rg <j@example.org>\nSubject: Caf\xe9 & <tea>\nDate: Fri, 5 Mar 2021 14:07:00 +0100\n"
    b"Message-ID: <one&1@example.org>\n\nHello\x00there\n\n"
    b"From b@example.org Mon Jan  1 00:00:00 2021\n"
    b"From: b@example.org\nSubject: With a file\nMIME-Version: 1.0\n"
    b"Content-Type: multipart/mixed; boundary=x\n\n--x\nContent-Type: text/plain\n\nsee the file\n"
    b"--x\nContent-Type: application/octet-stream; name=data.bin\nContent-Transfer-Encoding: base64\n\n"
    b"AAECAwQ=\n--x--\n"
)
CR_MAILBOX = (
    b"From c@example.org Mon Jan  1 00:00:00 2021\r"
    b"From: c@example.org\rSubject: Only CR\rDate: Sat, 6 Mar 2021 09:00:00 -0800\r\rline one\rline two\r\r"
    b"From d@example.org Mon Jan  1 00:00:00 2021\r"
    b"From: d@example.org\rSubject: Second\r\rbody\x00end\r"
)


def run(arguments):
    result = subprocess.run(arguments, capture_output=True)
    if result.returncode != 0:
        sys.exit(f"{' '.join(arguments)} exited with {result.returncode}:\n{result.stderr.decode(errors='replace')}")
    return result.stdout


def files_by_stem(folder, extension):
    return {name[: -len(extension)]: os.path.join(folder, name)
            for name in os.listdir(folder) if name.endswith(extension)}


def pdf_info(path):
    info = {}
    for line in run(["pdfinfo", "-enc", "UTF-8", path]).decode().splitlines():
        key, _, value = line.partition(":")
        info[key] = value.strip()
    return info


def check_metadata(pdf, problems):
    root = ElementTree.fromstring(run(["pdfinfo", "-meta", pdf]).decode("utf-8").split("?>", 1)[1].rsplit("<?xpacket", 1)[0])
    description = root.find("rdf:RDF/rdf:Description", NAMESPACES)
    info = pdf_info(pdf)
    values = {
        "Title": description.findtext("dc:title/rdf:Alt/rdf:li", "", NAMESPACES),
        "Author": description.findtext("dc:creator/rdf:Seq/rdf:li", "", NAMESPACES),
        "Producer": description.findtext("pdf:Producer", "", NAMESPACES),
    }
    for key, value in values.items():
        if value != info.get(key, ""):
            problems.append(f"{pdf}: XMP {key} {value!r}, document info {info.get(key)!r}")
    mailbox = os.path.basename(os.path.dirname(pdf))
    if description.findtext("tessaly:mailbox", "", NAMESPACES) != mailbox:
        problems.append(f"{pdf}: XMP mailbox is not {mailbox!r}")
    if values["Title"] == "Café & <tea>" and description.findtext("tessaly:messageId", "", NAMESPACES) != "one&1@example.org":
        problems.append(f"{pdf}: XMP messageId is wrong")


def recorded_digests(folder):
    with open(os.path.join(folder, "Tessaly index.csv"), encoding="utf-8-sig", newline="") as file:
        return {row["PDF file"]: row["Embedded source SHA-256"] for row in csv.DictReader(file)}


def check_structure(pdf, problems):
    # qpdf --check exits 0 for a sound file, 2 for errors and 3 for warnings.
    result = subprocess.run(["qpdf", "--check", pdf], capture_output=True)
    if result.returncode != 0:
        problems.append(f"{pdf}: qpdf --check exited with {result.returncode}:\n{result.stdout.decode(errors='replace')}")


def main():
    cli, work = sys.argv[1], sys.argv[2]
    shutil.rmtree(work, ignore_errors=True)
    inputs = os.path.join(work, "in")
    os.makedirs(inputs)
    mailboxes = {"lf.mbox": LF_MAILBOX, "cr.mbox": CR_MAILBOX}
    for name, data in mailboxes.items():
        with open(os.path.join(inputs, name), "wb") as file:
            file.write(data)
    pdfs, emls = os.path.join(work, "pdf"), os.path.join(work, "eml")
    paths = [os.path.join(inputs, name) for name in mailboxes]
    run([cli, "--embed-source", "--attachments", "embed", "-o", pdfs, *paths])
    run([cli, "--format", "eml", "-o", emls, *paths])

    problems, checked = [], 0
    for name in mailboxes:
        below = os.path.join(inputs, name).lstrip("/")
        expected = files_by_stem(os.path.join(emls, below), ".eml")
        produced = files_by_stem(os.path.join(pdfs, below), ".pdf")
        digests = recorded_digests(os.path.join(pdfs, below))
        if set(expected) != set(produced) or len(produced) != 2:
            problems.append(f"{name}: PDFs {sorted(produced)}, .eml files {sorted(expected)}")
            continue
        for stem, pdf in produced.items():
            listing = run(["pdfdetach", "-list", "-enc", "UTF-8", pdf]).decode()
            if listing.count(f"{stem}.eml") != 1:
                problems.append(f"{pdf}: the source is not embedded once:\n{listing}")
            detached = os.path.join(work, "detached.eml")
            number = next(line.split(":")[0] for line in listing.splitlines()[1:] if line.endswith(f" {stem}.eml"))
            run(["pdfdetach", "-save", number, "-o", detached, pdf])
            with open(detached, "rb") as file, open(expected[stem], "rb") as reference:
                source = file.read()
                if source != reference.read():
                    problems.append(f"{pdf}: the embedded source differs from {expected[stem]}")
            if digests.get(os.path.basename(pdf)) != hashlib.sha256(source).hexdigest():
                problems.append(f"{pdf}: the index records {digests.get(os.path.basename(pdf))!r} for its source")
            check_metadata(pdf, problems)
            check_structure(pdf, problems)
            checked += 1

    if problems:
        sys.exit("\n".join(problems))
    print(f"{checked} PDFs carry their messages byte for byte, with XMP metadata that agrees, and pass qpdf --check")


if __name__ == "__main__":
    main()
