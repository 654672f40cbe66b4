// The last pass over a rendered PDF: document info, extra edits, and writing it out.
#pragma once

#include "support/Result.h"

#include <QByteArray>
#include <QDateTime>

#include <functional>
#include <string>

class QPDF;

namespace tessaly {

/// The PDF's document info, from the message's headers.
struct PdfMetadata
{
    QString title;           ///< the subject
    QString author;          ///< the sender
    QDateTime created;       ///< the message's date, with its UTC offset; invalid when unknown
    QString messageId;       ///< without its angle brackets; XMP only
    QString mailboxFileName; ///< the mailbox the message came from; XMP only
};

/// A one-page PDF drawn at its own size over the first (or last) page of another, after
/// everything else on that page, so that nothing on the page can cover it.
struct PageStamp
{
    QByteArray pdf;        ///< its first page is drawn; empty for no stamp
    double left = 0;       ///< points from the page's left edge
    double top = 0;        ///< points from the page's top edge
    double bandHeight = 0; ///< points from the page's top edge painted white first, the whole page wide
    /// Points to move the content (and links) of every page after the first one up: for a
    /// renderer that had to keep the stamp's room on every page.
    double laterPagesRaise = 0;
};

/// What the finishing pass does besides the document info.
struct PdfFinishing
{
    PdfMetadata metadata;
    /// Drawn over the first page (the header block), before the text maps are repaired.
    PageStamp firstPageStamp;
    /// When above 0, the pages after this many are removed first (a message cut at its
    /// page budget).
    int keptPages = 0;
    /// Drawn over the last page kept after the first page's stamp and the later pages' raise
    /// (the notice of a message cut at its page budget).
    PageStamp lastPageStamp;
    /// Further edits in the same pass, e.g. embedding attachments. Runs before writing.
    std::function<Result<void>(QPDF &pdf)> edit;
    /// Raised to e.g. "1.7" when an edit needs it (/UF names); empty keeps the renderer's.
    std::string minimumPdfVersion;
    /// Whether objects other than streams are packed into compressed object streams where the
    /// PDF's version (the renderer's, or minimumPdfVersion when higher) is 1.5 or later. The
    /// version is never raised for them.
    bool objectStreams = true;
};

/// The PDF date form of `dateTime` (see the one in DateTime.h), keeping its offset.
std::string pdfDate(const QDateTime &dateTime);

/// Sets Title, Author, CreationDate (when known), Creator and Producer "Tessaly" on `pdf`,
/// and the same (with the message's ID and mailbox) as XMP metadata on its catalogue;
/// stamps `finishing.firstPageStamp` on its first page and `finishing.lastPageStamp` on its last, repairs its text maps
/// and, on Chromium's pages, its right-to-left letters with marks (so text copies out as typed), applies
/// `finishing.edit` and returns the finished PDF's bytes, with object streams as `finishing.objectStreams` says.
/// qpdf's exceptions become Errors.
Result<std::string> finishPdf(const QByteArray &pdf, const PdfFinishing &finishing);

} // namespace tessaly
