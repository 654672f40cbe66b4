// The header block of a message as a document of its own, drawn over the top of page 1.
#pragma once

#include "mailconverter/html/HeaderBlockHtml.h"
#include "mailconverter/html/HtmlComposer.h"
#include "mailconverter/mime/MailMessage.h"
#include "mailconverter/pdf/PdfFinisher.h"
#include "support/Result.h"

#include <QBuffer>
#include <QByteArray>
#include <QPageLayout>
#include <QPdfWriter>
#include <QTextDocument>

#include <vector>

class QPainter;

namespace tessaly {

/// The message's header block, laid out by QTextDocument apart from the message's page, so
/// that nothing the message holds (style sheets, positioning, @page rules) can hide, cover,
/// move or restyle it. Both renderers keep room for it at the top of the first page and it
/// is drawn there last, on an opaque band: the text renderer paints it itself, the web
/// engine's PDF gets it stamped afterwards (toPageStamp). So it looks the same for every
/// message, and its text is in the page's text layer.
class HeaderStamp
{
public:
    /// Lays out the header block of `message` for a column `widthPoints` wide. A block
    /// taller than `maxHeightPoints` is laid out again with kTightHeaderLimits and, if still
    /// too tall, cut at that height.
    HeaderStamp(const MailMessage &message, const std::vector<AttachmentListing> &listings, qreal widthPoints,
                qreal maxHeightPoints);

    /// True when the message has no field to show: nothing is drawn and no room kept.
    bool isEmpty() const { return m_empty; }
    /// The box's size in points.
    QSizeF boxSize() const;
    /// The room to keep free at the top of the first page: the box and the gap below it.
    qreal reservedHeight() const;

    /// Paints an opaque band `reservedHeight()` high and the box on it, at the top-left
    /// corner of the column, on a painter working in kStampResolution dots per inch.
    void draw(QPainter &painter) const;

    /// The box as a PDF page of its own, placed at `columnTopLeft` (points from the page's
    /// top-left corner) of the first page, for finishPdf.
    Result<PageStamp> toPageStamp(QPointF columnTopLeft) const;

    /// The same box as a page for Chromium, for text Qt's PDF writer would not give back
    /// as typed; printed with boxPageLayout(), it can take the place of toPageStamp's PDF.
    std::string webPageHtml(const MailMessage &message, const std::vector<AttachmentListing> &listings) const;
    /// A page of the box's size in whole points (a PDF stores them rounded, and the stamp
    /// must not be scaled), with no margins.
    QPageLayout boxPageLayout() const;

    /// The resolution both renderers' painters work in.
    static constexpr int kStampResolution = 300;

private:
    void layOut(const std::string &html);

    QByteArray m_metricsBytes;
    QBuffer m_metricsDevice;
    QPdfWriter m_metrics; ///< lays the document out as the PDF writers will draw it
    QTextDocument m_document;
    qreal m_widthPoints = 0;
    qreal m_heightPoints = 0; ///< of the box; the text is cut at this height
    HeaderLimits m_limits;
    bool m_empty = true;
};

} // namespace tessaly
