#include "mailconverter/render/FontSetup.h"

#include "mailconverter/html/FontAliases.h"
#include "mailconverter/html/ScriptFonts.h"

namespace tessaly {
namespace {

constexpr qreal kBodyPointSize = 10.0;

QStringList familiesFor(FontRole role)
{
    QStringList families;
    for (const std::string &family : fontFamilies(role, FontEngine::QtPdfWriter))
        families.append(QString::fromStdString(family));
    return families;
}

} // namespace

void installFontSubstitutions()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;

    // QFont::setFamilies bypasses fontconfig's metric aliases, so map the names ourselves.
    for (const FontAlias &alias : kFontAliases)
        QFont::insertSubstitution(QString::fromUtf8(alias.family), QString::fromUtf8(alias.stem));
}

QFont bodyFont()
{
    QFont font;
    font.setFamilies(familiesFor(FontRole::Text));
    font.setPointSizeF(kBodyPointSize);
    // Qt writes a Latin ligature such as "fi" to the PDF as U+FB01, which search and
    // pdftotext miss; any letter spacing makes Qt leave optional ligatures out.
    font.setLetterSpacing(QFont::AbsoluteSpacing, 0.05);
    return font;
}

QFont monospaceFont()
{
    QFont font;
    font.setFamilies(familiesFor(FontRole::Monospace));
    font.setStyleHint(QFont::Monospace);
    font.setPointSizeF(kBodyPointSize);
    return font;
}

} // namespace tessaly
