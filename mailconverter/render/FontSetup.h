// Fonts for the page: metric-compatible stand-ins for the common mail fonts, and fallbacks.
#pragma once

#include <QFont>
#include <QStringList>

namespace tessaly {

/// Maps Calibri, Cambria, Arial, Helvetica, Times New Roman and Courier New to their
/// metric-compatible free stand-ins for QFont lookups (QTextDocument). Idempotent.
void installFontSubstitutions();

/// The font for body text drawn by Qt itself, with a named face for every script
/// (fontFamilies).
QFont bodyFont();

/// The same for monospaced text.
QFont monospaceFont();

} // namespace tessaly
