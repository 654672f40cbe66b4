#include "mailconverter/render/PageSetup.h"

#include <QLocale>
#include <QMarginsF>
#include <QPageSize>

namespace tessaly {

QPageLayout defaultPageLayout()
{
    const bool usesLetter = QLocale::system().measurementSystem() == QLocale::ImperialUSSystem;
    const QPageSize size(usesLetter ? QPageSize::Letter : QPageSize::A4);
    const QMarginsF margins(kPageMarginMillimetres, kPageMarginMillimetres, kPageMarginMillimetres,
                            kPageMarginMillimetres);
    return QPageLayout(size, QPageLayout::Portrait, margins, QPageLayout::Millimeter);
}

} // namespace tessaly
