// Fonts for the page: metric-compatible stand-ins for the common mail fonts, and fallbacks.
#pragma once

#include <QFont>
#include <QStringList>

namespace tessaly {

/// Maps the common mail fonts of kFontAliases (Calibri, Arial, Times New Roman …) to their
/// metric-compatible free stand-ins for QFont lookups (QTextDocument). Idempotent.
void installFontSubstitutions();

/// The font for body text drawn by Qt itself, with a named face for every script
/// (fontFamilies).
QFont bodyFont();

/// The same for monospaced text.
QFont monospaceFont();

} // namespace tessaly
