// The paper every message is printed on.
#pragma once

#include "mailconverter/textpages/TextPageWriter.h"

#include <QPageLayout>

namespace tessaly {

/// Margins around the printed area on every side, in millimetres.
inline constexpr qreal kPageMarginMillimetres = 15.0;

/// A4 portrait with 15 mm margins, or US Letter where the system locale measures in
/// inches (QLocale::ImperialUSSystem).
QPageLayout defaultPageLayout();

/// The page of `layout` and its margins as the text engine takes them, in points.
TextPageGeometry textPageGeometry(const QPageLayout &layout);

} // namespace tessaly
