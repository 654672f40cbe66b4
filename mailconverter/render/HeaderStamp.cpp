#include "mailconverter/render/HeaderStamp.h"

#include "mailconverter/render/HeaderBlockPage.h"
#include "mailconverter/render/PlainTextPage.h"

#include <cmath>

namespace tessaly {
namespace {

constexpr qreal kGapBelow = 12; // points

} // namespace

HeaderStamp::HeaderStamp(const MailMessage &message, const std::vector<AttachmentListing> &listings, qreal widthPoints,
                         qreal maxHeightPoints)
    : m_widthPoints(widthPoints)
{
    const std::vector<HeaderRow> rows = headerRows(message, listings, HeaderLimits{}, HeaderMarkup::Simple);
    if (rows.empty())
        return;
    m_empty = false;
    const std::string language = pageLanguageTag(message);
    m_page = std::make_shared<HeaderBlockPage>(rows, widthPoints, language);
    if (m_page->heightPoints() > maxHeightPoints)
        m_page = std::make_shared<HeaderBlockPage>(
            headerRows(message, listings, kTightHeaderLimits, HeaderMarkup::Simple), widthPoints, language);
    m_heightPoints = std::min(qreal(m_page->heightPoints()), maxHeightPoints);
}

QSizeF HeaderStamp::boxSize() const
{
    return {m_widthPoints, m_heightPoints};
}

qreal HeaderStamp::reservedHeight() const
{
    return m_empty ? 0 : m_heightPoints + kGapBelow;
}

Result<PageStamp> HeaderStamp::toPageStamp(QPointF columnTopLeft) const
{
    PageStamp stamp;
    if (m_empty)
        return stamp;
    // A page in whole points: a PDF stores its size rounded, and the stamp must not be scaled.
    Result<QByteArray> pdf = m_page->pdf(std::ceil(m_widthPoints), std::ceil(m_heightPoints), m_heightPoints);
    if (!pdf)
        return pdf.error();
    stamp.pdf = std::move(pdf.value());
    stamp.left = columnTopLeft.x();
    stamp.top = columnTopLeft.y();
    stamp.bandHeight = columnTopLeft.y() + reservedHeight();
    return stamp;
}

} // namespace tessaly
