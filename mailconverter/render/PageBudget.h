// How many pages one message may fill, and the notice that ends the last page when it runs longer.
#pragma once

#include "mailconverter/pdf/PdfFinisher.h"
#include "support/Result.h"

#include <QPointF>
#include <QString>

namespace tessaly {

/// The pages a message may fill unless the run says otherwise: a body that lays out longer
/// (a 761-byte `<div style="height:50000000px">` fills 37,000 pages) is cut there.
inline constexpr int kDefaultMessagePages = 2000;

/// What a renderer needs to keep a message within its pages: how many, and the notice that
/// ends the last page in place of the rest, "Cut at 2,000 pages: the whole text is in the
/// attached file". The rest is not drawn; the converter keeps the whole text elsewhere.
class PageBudget
{
public:
    /// At most `pages` pages (at least 1) in a column `widthPoints` wide. `textIsAttached`
    /// says whether the whole text travels in or beside the PDF, or only in the message file
    /// kept beside it.
    PageBudget(int pages, bool textIsAttached, qreal widthPoints);

    int pages() const { return m_pages; }
    /// The notice's words.
    const QString &noticeText() const { return m_text; }
    /// The room, in points, the notice takes at the foot of the last page's column.
    qreal noticeHeight() const { return m_heightPoints; }

    /// The notice as a PDF page of its own, drawn by the text engine and placed at `topLeft`
    /// (points from the page's top-left corner), for finishPdf to stamp on the last page.
    Result<PageStamp> noticeStamp(QPointF topLeft) const;

private:
    int m_pages;
    QString m_text;
    qreal m_widthPoints;
    qreal m_heightPoints = 0;
};

} // namespace tessaly
