#include "mailconverter/pdf/TextMapRepair.h"

#include <QList>
#include <QString>

#include <qpdf/Buffer.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>

#include <cctype>
#include <cstdio>

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

enum class Section
{
    None,
    Chars,
    Ranges
};

} // namespace

std::string repairedToUnicodeMap(std::string_view cmap)
{
    std::string out;
    out.reserve(cmap.size());
    Section section = Section::None;
    int position = 0;     // of the current hex token within its entry
    bool inArray = false; // inside a bfrange's [ … ] of destinations
    std::string rangeStart;

    std::size_t i = 0;
    while (i < cmap.size()) {
        const char c = cmap[i];
        if (c == '<') {
            const std::size_t end = cmap.find('>', i);
            if (end == std::string_view::npos)
                break;
            const std::string_view hex = cmap.substr(i + 1, end - i - 1);
            bool isDestination = false;
            if (section == Section::Chars) {
                isDestination = position % 2 == 1;
                ++position;
            } else if (section == Section::Ranges) {
                if (inArray) {
                    isDestination = true;
                } else if (position == 0) {
                    rangeStart = std::string(hex);
                    position = 1;
                } else if (position == 1) {
                    // A single-code range may be rewritten; a longer one counts up from its value.
                    position = hex == rangeStart ? 3 : 2;
                } else {
                    isDestination = position == 3;
                    position = 0;
                }
            }
            const std::string repaired = isDestination ? repairedDestination(hex) : std::string();
            out += '<';
            out += repaired.empty() ? std::string(hex) : repaired;
            out += '>';
            i = end + 1;
            continue;
        }
        if (section == Section::Ranges && c == '[') {
            inArray = true;
        } else if (section == Section::Ranges && c == ']') {
            inArray = false;
            position = 0;
        } else if (std::isalpha(static_cast<unsigned char>(c))) {
            std::size_t end = i;
            while (end < cmap.size() && std::isalpha(static_cast<unsigned char>(cmap[end])))
                ++end;
            const std::string_view word = cmap.substr(i, end - i);
            if (word == "beginbfchar")
                section = Section::Chars;
            else if (word == "beginbfrange")
                section = Section::Ranges;
            else if (word == "endbfchar" || word == "endbfrange")
                section = Section::None;
            position = 0;
            out.append(word);
            i = end;
            continue;
        }
        out += c;
        ++i;
    }
    out.append(cmap.substr(i));
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
