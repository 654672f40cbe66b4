#include "mailconverter/pdf/TextMapRepair.h"

#include "mailconverter/pdf/CMapScanner.h"

#include <QList>
#include <QString>

#include <qpdf/Buffer.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>

#include <cstdio>
#include <optional>

namespace tessaly {
namespace {

bool hasCompatibilityForm(char32_t c)
{
    return (c >= 0x2E80 && c <= 0x2FDF)     // CJK and Kangxi radicals
           || (c >= 0xF900 && c <= 0xFAFF)  // CJK compatibility ideographs
           || (c >= 0xFB00 && c <= 0xFB06)  // Latin ligatures such as "ﬁ"
           || (c >= 0xFB1D && c <= 0xFDFF)  // Hebrew and Arabic presentation forms A
           || (c >= 0xFE70 && c <= 0xFEFC); // Arabic presentation forms B
}

/// A CMap destination (UTF-16BE in hex) with its compatibility forms decomposed; "" when
/// nothing in it changes.
std::string repairedDestination(std::string_view hex)
{
    if (hex.size() % 4 != 0)
        return {};
    QString text;
    for (std::size_t i = 0; i < hex.size(); i += 4) {
        bool ok = false;
        const ushort unit = QString::fromLatin1(hex.data() + i, 4).toUShort(&ok, 16);
        if (!ok)
            return {};
        text += QChar(unit);
    }
    bool changes = false;
    QString repaired;
    for (const char32_t c : text.toUcs4()) {
        const QString one = QString::fromUcs4(&c, 1);
        if (hasCompatibilityForm(c)) {
            repaired += one.normalized(QString::NormalizationForm_KC);
            changes = true;
        } else {
            repaired += one;
        }
    }
    if (!changes)
        return {};
    std::string out;
    char unit[5];
    for (const QChar c : repaired) {
        std::snprintf(unit, sizeof unit, "%04X", c.unicode());
        out += unit;
    }
    return out;
}

} // namespace

std::string repairedToUnicodeMap(std::string_view cmap)
{
    std::string out;
    out.reserve(cmap.size());
    int position = 0;     // of the current hex token within its entry
    bool inArray = false; // inside a bfrange's [ … ] of destinations
    std::string_view rangeStart;

    CMapScanner scanner(cmap);
    while (const std::optional<CMapToken> token = scanner.next()) {
        const CMapSection section = scanner.section();
        switch (token->kind) {
        case CMapToken::Kind::Hex: {
            bool isDestination = false;
            if (section == CMapSection::Chars) {
                isDestination = position % 2 == 1;
                ++position;
            } else if (section == CMapSection::Ranges) {
                if (inArray) {
                    isDestination = true;
                } else if (position == 0) {
                    rangeStart = token->hex;
                    position = 1;
                } else if (position == 1) {
                    // A single-code range may be rewritten; a longer one counts up from its value.
                    position = token->hex == rangeStart ? 3 : 2;
                } else {
                    isDestination = position == 3;
                    position = 0;
                }
            }
            const std::string repaired = isDestination ? repairedDestination(token->hex) : std::string();
            out += '<';
            out += repaired.empty() ? std::string(token->hex) : repaired;
            out += '>';
            continue;
        }
        case CMapToken::Kind::ListOpen:
            inArray = inArray || section == CMapSection::Ranges;
            break;
        case CMapToken::Kind::ListClose:
            if (section == CMapSection::Ranges) {
                inArray = false;
                position = 0;
            }
            break;
        case CMapToken::Kind::Keyword:
            position = 0;
            break;
        case CMapToken::Kind::Other:
            break;
        }
        out.append(token->text);
    }
    out.append(scanner.rest());
    return out;
}

int repairTextMaps(QPDF &pdf)
{
    int repaired = 0;
    for (QPDFObjectHandle object : pdf.getAllObjects()) {
        if (!object.isDictionary() || !object.hasKey("/ToUnicode"))
            continue;
        QPDFObjectHandle map = object.getKey("/ToUnicode");
        if (!map.isStream())
            continue;
        const std::shared_ptr<Buffer> data = map.getStreamData(qpdf_dl_generalized);
        const std::string text(reinterpret_cast<const char *>(data->getBuffer()), data->getSize());
        const std::string fixed = repairedToUnicodeMap(text);
        if (fixed == text)
            continue;
        map.replaceStreamData(fixed, QPDFObjectHandle::newNull(), QPDFObjectHandle::newNull());
        ++repaired;
    }
    return repaired;
}

} // namespace tessaly
