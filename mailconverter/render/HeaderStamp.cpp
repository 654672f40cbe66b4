#include "mailconverter/render/HeaderStamp.h"

#include "mailconverter/render/FontSetup.h"

#include <QAbstractTextDocumentLayout>
#include <QPageSize>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace tessaly {
namespace {

constexpr qreal kPaddingX = 8;  // points
constexpr qreal kPaddingY = 5;  // points
constexpr qreal kGapBelow = 12; // points
constexpr qreal kBorderWidth = 0.75;
constexpr qreal kCornerRadius = 3;
const QColor kBackground(0xf2, 0xf4, 0xf7);
const QColor kBorder(0xd0, 0xd5, 0xdd);

constexpr qreal toPixels(qreal points)
{
    return points * HeaderStamp::kStampResolution / 72.0;
}

} // namespace

HeaderStamp::HeaderStamp(const MailMessage &message, const std::vector<AttachmentListing> &listings, qreal widthPoints,
                         qreal maxHeightPoints)
    : m_metricsDevice(&m_metricsBytes), m_metrics(&m_metricsDevice), m_widthPoints(widthPoints)
{
    m_metrics.setResolution(kStampResolution);
    m_document.documentLayout()->setPaintDevice(&m_metrics);
    m_document.setDefaultFont(bodyFont());
    m_document.setDocumentMargin(0);
    m_document.setTextWidth(toPixels(widthPoints - 2 * kPaddingX));

    const std::string html = composeHeaderBlockHtml(message, listings, HeaderLimits{});
    if (html.empty())
        return;
    m_empty = false;
    layOut(html);
    if (m_heightPoints > maxHeightPoints) {
        m_limits = kTightHeaderLimits;
        layOut(composeHeaderBlockHtml(message, listings, m_limits));
    }
    m_heightPoints = std::min(m_heightPoints, maxHeightPoints);
}

void HeaderStamp::layOut(const std::string &html)
{
    m_document.setHtml(QString::fromStdString(html));
    m_heightPoints = m_document.size().height() * 72.0 / kStampResolution + 2 * kPaddingY;
}

QSizeF HeaderStamp::boxSize() const
{
    return {m_widthPoints, m_heightPoints};
}

qreal HeaderStamp::reservedHeight() const
{
    return m_empty ? 0 : m_heightPoints + kGapBelow;
}

void HeaderStamp::draw(QPainter &painter) const
{
    if (m_empty)
        return;
    painter.save();
    // The band runs from the page's top edge over the whole width, so that nothing drawn
    // before shows through anywhere around the box.
    const QRectF band(-toPixels(1000), -toPixels(1000), toPixels(m_widthPoints + 2000),
                      toPixels(1000 + reservedHeight()));
    painter.fillRect(band, Qt::white);

    const qreal inset = toPixels(kBorderWidth) / 2;
    const QRectF box =
        QRectF(0, 0, toPixels(m_widthPoints), toPixels(m_heightPoints)).adjusted(inset, inset, -inset, -inset);
    QPainterPath outline;
    outline.addRoundedRect(box, toPixels(kCornerRadius), toPixels(kCornerRadius));
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillPath(outline, kBackground);
    painter.setPen(QPen(kBorder, toPixels(kBorderWidth)));
    painter.drawPath(outline);

    const QRectF text(toPixels(kPaddingX), toPixels(kPaddingY), m_document.textWidth(),
                      toPixels(m_heightPoints - 2 * kPaddingY));
    painter.translate(text.topLeft());
    painter.setClipRect(QRectF(QPointF(0, 0), text.size()));
    QAbstractTextDocumentLayout::PaintContext context;
    context.clip = QRectF(QPointF(0, 0), text.size());
    m_document.documentLayout()->draw(&painter, context);
    painter.restore();
}

std::string HeaderStamp::webPageHtml(const MailMessage &message, const std::vector<AttachmentListing> &listings) const
{
    const QSizeF size = boxPageLayout().pageSize().size(QPageSize::Point);
    return composeHeaderBlockWebPage(message, listings, m_limits, size.width(), size.height());
}

QPageLayout HeaderStamp::boxPageLayout() const
{
    const QSizeF size(std::ceil(m_widthPoints), std::ceil(m_heightPoints));
    return QPageLayout(QPageSize(size, QPageSize::Point, QString(), QPageSize::ExactMatch), QPageLayout::Portrait,
                       QMarginsF(0, 0, 0, 0), QPageLayout::Point);
}

Result<PageStamp> HeaderStamp::toPageStamp(QPointF columnTopLeft) const
{
    PageStamp stamp;
    if (m_empty)
        return stamp;
    QBuffer output(&stamp.pdf);
    output.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&output);
        writer.setResolution(kStampResolution);
        writer.setCreator(QStringLiteral("Tessaly"));
        writer.setPageLayout(boxPageLayout());
        QPainter painter;
        if (!painter.begin(&writer))
            return Error{"cannot start the PDF writer for the header block"};
        draw(painter);
        painter.end();
    }
    output.close();
    if (stamp.pdf.isEmpty())
        return Error{"the PDF writer produced no header block"};
    stamp.left = columnTopLeft.x();
    stamp.top = columnTopLeft.y();
    stamp.bandHeight = columnTopLeft.y() + reservedHeight();
    return stamp;
}

} // namespace tessaly
