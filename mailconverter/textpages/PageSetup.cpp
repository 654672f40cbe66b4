#include "mailconverter/textpages/PageSetup.h"

#include <QLocale>
#include <QMarginsF>
#include <QPageSize>
#include <QRectF>

namespace tessaly {

QPageLayout defaultPageLayout()
{
    const bool usesLetter = QLocale::system().measurementSystem() == QLocale::ImperialUSSystem;
    const QPageSize size(usesLetter ? QPageSize::Letter : QPageSize::A4);
    const QMarginsF margins(kPageMarginMillimetres, kPageMarginMillimetres, kPageMarginMillimetres,
                            kPageMarginMillimetres);
    return QPageLayout(size, QPageLayout::Portrait, margins, QPageLayout::Millimeter);
}

TextPageGeometry textPageGeometry(const QPageLayout &layout)
{
    const QRectF page = layout.fullRect(QPageLayout::Point);
    const QMarginsF margins = layout.margins(QPageLayout::Point);
    TextPageGeometry geometry;
    geometry.widthPoints = page.width();
    geometry.heightPoints = page.height();
    geometry.leftPoints = margins.left();
    geometry.topPoints = margins.top();
    geometry.rightPoints = margins.right();
    geometry.bottomPoints = margins.bottom();
    return geometry;
}

} // namespace tessaly
