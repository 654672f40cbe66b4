#include "app/WindowFont.h"

#include <QFontDatabase>
#include <QStringList>

namespace tessaly {

QFont windowFont(int pixelSize)
{
    // Chosen by hand: font fallback would skip fontconfig's metric aliases.
    static const QString family = [] {
        const QStringList candidates{QStringLiteral("Tahoma"), QStringLiteral("Liberation Sans"),
                                     QStringLiteral("Noto Sans"), QStringLiteral("DejaVu Sans")};
        for (const QString &candidate : candidates) {
            if (QFontDatabase::hasFamily(candidate))
                return candidate;
        }
        return QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
    }();
    QFont font(family);
    font.setPixelSize(pixelSize);
    return font;
}

} // namespace tessaly
