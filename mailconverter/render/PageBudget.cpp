#include "mailconverter/render/PageBudget.h"

#include "mailconverter/render/FontSetup.h"
#include "mailconverter/render/HeaderStamp.h"

#include <QBuffer>
#include <QFontMetricsF>
#include <QLocale>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

#include <algorithm>
#include <cmath>

namespace tessaly {
namespace {

constexpr qreal kGapAbove = 8; // points between the last line drawn and the notice
const QColor kNoticeColour(0x44, 0x44, 0x44);

constexpr qreal toPixels(qreal points)
{
    return points * HeaderStamp::kStampResolution / 72.0;
}

} // namespace

PageBudget::PageBudget(int pages, bool textIsAttached, qreal widthPoints)
    : m_pages(std::max(pages, 1)), m_font(bodyFont()), m_widthPoints(widthPoints)
{
    // The number as written in English, whatever the locale: "2,000".
    m_text = QStringLiteral("Cut at %1 pages: the whole text is in ").arg(QLocale(QLocale::English).toString(m_pages)) +
             (textIsAttached ? QStringLiteral("the attached file")
                             : QStringLiteral("the message file kept beside this PDF"));
    m_font.setItalic(true);
    // Measured on the device it is drawn on, as the header block is.
    QByteArray bytes;
    QBuffer device(&bytes);
    QPdfWriter metrics(&device);
    metrics.setResolution(HeaderStamp::kStampResolution);
    const QRectF text =
        QFontMetricsF(m_font, &metrics)
            .boundingRect(QRectF(0, 0, toPixels(widthPoints), toPixels(1000)), Qt::TextWordWrap, m_text);
    m_heightPoints = kGapAbove + std::ceil(text.height() * 72.0 / HeaderStamp::kStampResolution);
}

void PageBudget::drawNotice(QPainter &painter, QPointF topLeft) const
{
    painter.save();
    painter.setFont(m_font);
    painter.setPen(kNoticeColour);
    const QRectF box(topLeft.x(), topLeft.y() + toPixels(kGapAbove), toPixels(m_widthPoints),
                     toPixels(m_heightPoints - kGapAbove));
    painter.drawText(box, Qt::TextWordWrap, m_text);
    painter.restore();
}

Result<PageStamp> PageBudget::noticeStamp(QPointF topLeft) const
{
    PageStamp stamp;
    QBuffer output(&stamp.pdf);
    output.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&output);
        writer.setResolution(HeaderStamp::kStampResolution);
        writer.setCreator(QStringLiteral("Tessaly"));
        const QSizeF size(std::ceil(m_widthPoints), std::ceil(m_heightPoints));
        writer.setPageLayout(QPageLayout(QPageSize(size, QPageSize::Point, QString(), QPageSize::ExactMatch),
                                         QPageLayout::Portrait, QMarginsF(0, 0, 0, 0), QPageLayout::Point));
        QPainter painter;
        if (!painter.begin(&writer))
            return Error{"cannot start the PDF writer for the page budget's notice"};
        drawNotice(painter, QPointF(0, 0));
        painter.end();
    }
    output.close();
    if (stamp.pdf.isEmpty())
        return Error{"the PDF writer produced no page budget notice"};
    stamp.left = topLeft.x();
    stamp.top = topLeft.y();
    return stamp;
}

} // namespace tessaly
