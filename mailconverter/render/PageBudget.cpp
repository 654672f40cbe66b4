#include "mailconverter/render/PageBudget.h"

#include "mailconverter/textpages/TextPageWriter.h"

#include <QLocale>

#include <algorithm>
#include <cmath>

namespace tessaly {
namespace {

constexpr qreal kGapAbove = 8; // points between the last line drawn and the notice
constexpr std::uint32_t kNoticeColour = 0x444444;
constexpr double kNoticePoints = 10;

std::vector<TextParagraph> noticeParagraphs(const QString &text)
{
    TextRun run;
    run.text = text.toStdString();
    run.italic = true;
    run.colour = kNoticeColour;
    run.sizePoints = kNoticePoints;
    TextParagraph paragraph;
    paragraph.runs.push_back(std::move(run));
    return {paragraph};
}

/// A page `width` × `height` points with the notice's text `kGapAbove` below its top.
TextPageWriter noticeWriter(qreal width, qreal height)
{
    TextPageGeometry geometry;
    geometry.widthPoints = width;
    geometry.heightPoints = height;
    geometry.leftPoints = 0;
    geometry.topPoints = kGapAbove;
    geometry.rightPoints = 0;
    geometry.bottomPoints = 0;
    return TextPageWriter(geometry, {});
}

} // namespace

PageBudget::PageBudget(int pages, bool textIsAttached, qreal widthPoints)
    : m_pages(std::max(pages, 1)), m_widthPoints(widthPoints)
{
    // The number as written in English, whatever the locale: "2,000".
    m_text = QStringLiteral("Cut at %1 pages: the whole text is in ").arg(QLocale(QLocale::English).toString(m_pages)) +
             (textIsAttached ? QStringLiteral("the attached file")
                             : QStringLiteral("the message file kept beside this PDF"));
    m_heightPoints = kGapAbove + std::ceil(noticeWriter(widthPoints, 1000).heightOf(noticeParagraphs(m_text)));
}

Result<PageStamp> PageBudget::noticeStamp(QPointF topLeft) const
{
    PageStamp stamp;
    Result<QByteArray> pdf =
        noticeWriter(std::ceil(m_widthPoints), std::ceil(m_heightPoints)).write(noticeParagraphs(m_text));
    if (!pdf)
        return pdf.error();
    stamp.pdf = std::move(pdf.value());
    stamp.left = topLeft.x();
    stamp.top = topLeft.y();
    return stamp;
}

} // namespace tessaly
