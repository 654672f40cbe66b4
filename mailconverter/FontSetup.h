// Fonts for the page: metric-compatible stand-ins for the common mail fonts, and fallbacks.
#pragma once

#include <QFont>
#include <QStringList>

namespace tessaly {

/// Maps Calibri, Cambria, Arial, Helvetica, Times New Roman and Courier New to their
/// metric-compatible free stand-ins for QFont lookups (QTextDocument). Idempotent.
void installFontSubstitutions();

/// The font for body text drawn by Qt itself: Noto for every script, then a monochrome
/// emoji font, because colour emoji come out blank in Qt's own PDF output.
QFont bodyFont();

/// The same list for monospaced text.
QFont monospaceFont();

} // namespace tessaly
