// Fonts for the page: metric-compatible stand-ins for the common mail fonts, and fallbacks.
#include "FontSetup.h"

namespace tessaly {
namespace {

constexpr qreal kBodyPointSize = 10.0;

// Scripts that Noto Sans lacks come next; Symbola draws emoji in monochrome.
QStringList fallbackFamilies()
{
    return {QStringLiteral("Noto Sans Arabic"), QStringLiteral("Noto Sans Hebrew"),
            QStringLiteral("Noto Sans CJK JP"), QStringLiteral("Noto Sans Devanagari"),
            QStringLiteral("Noto Sans Thai"),   QStringLiteral("Symbola")};
}

} // namespace

void installFontSubstitutions()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;

    // QFont::setFamilies bypasses fontconfig's metric aliases, so map the names ourselves.
    QFont::insertSubstitution(QStringLiteral("Calibri"), QStringLiteral("Carlito"));
    QFont::insertSubstitution(QStringLiteral("Cambria"), QStringLiteral("Caladea"));
    QFont::insertSubstitution(QStringLiteral("Arial"), QStringLiteral("Liberation Sans"));
    QFont::insertSubstitution(QStringLiteral("Helvetica"), QStringLiteral("Liberation Sans"));
    QFont::insertSubstitution(QStringLiteral("Times New Roman"), QStringLiteral("Liberation Serif"));
    QFont::insertSubstitution(QStringLiteral("Times"), QStringLiteral("Liberation Serif"));
    QFont::insertSubstitution(QStringLiteral("Courier New"), QStringLiteral("Liberation Mono"));
    QFont::insertSubstitution(QStringLiteral("Courier"), QStringLiteral("Liberation Mono"));
}

QFont bodyFont()
{
    QFont font;
    font.setFamilies(QStringList{QStringLiteral("Noto Sans")} + fallbackFamilies());
    font.setPointSizeF(kBodyPointSize);
    // Qt writes a Latin ligature such as "fi" to the PDF as U+FB01, which search and
    // pdftotext miss; any letter spacing makes Qt leave optional ligatures out.
    font.setLetterSpacing(QFont::AbsoluteSpacing, 0.05);
    return font;
}

QFont monospaceFont()
{
    QFont font;
    font.setFamilies(QStringList{QStringLiteral("Noto Sans Mono")} + fallbackFamilies());
    font.setStyleHint(QFont::Monospace);
    font.setPointSizeF(kBodyPointSize);
    return font;
}

} // namespace tessaly
