// The header block of a message as a document of its own, drawn over the top of page 1.
#pragma once

#include "mailconverter/html/HtmlComposer.h"
#include "mailconverter/mime/MailMessage.h"
#include "mailconverter/pdf/PdfFinisher.h"
#include "support/Result.h"

#include <QPointF>
#include <QSizeF>

#include <memory>
#include <vector>

namespace tessaly {

class HeaderBlockPage;

/// The message's header block, laid out by Pango apart from the message's page, so that
/// nothing the message holds (style sheets, positioning, @page rules) can hide, cover, move or
/// restyle it. Every renderer keeps room for it at the top of the first page, and it is
/// stamped there afterwards (toPageStamp), on an opaque band. So it looks the same for every
/// message, and its text, in any script, is in the page's text layer.
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

    /// The box as a PDF page of its own, placed at `columnTopLeft` (points from the page's
    /// top-left corner) of the first page, for finishPdf.
    Result<PageStamp> toPageStamp(QPointF columnTopLeft) const;

    /// The resolution whose whole pixels the page's margins are rounded to.
    static constexpr int kStampResolution = 300;

private:
    std::shared_ptr<const HeaderBlockPage> m_page; ///< null when empty
    qreal m_widthPoints = 0;
    qreal m_heightPoints = 0; ///< of the box; the rows below are cut at this height
    bool m_empty = true;
};

} // namespace tessaly
