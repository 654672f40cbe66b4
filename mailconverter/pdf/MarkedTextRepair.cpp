#include "mailconverter/pdf/MarkedTextRepair.h"

#include "mailconverter/pdf/CMapScanner.h"

#include <QList>
#include <QString>

#include <qpdf/Buffer.hh>
#include <qpdf/BufferInputSource.hh>
#include <qpdf/Pl_Buffer.hh>
#include <qpdf/Pl_Flate.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QPDFTokenizer.hh>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace tessaly {
namespace {

using Token = QPDFTokenizer::Token;
using MarkCodes = std::set<unsigned>;

bool isMark(char32_t c)
{
    return QChar::category(c) == QChar::Mark_NonSpacing;
}

/// UTF-16BE hex (a CMap destination) as text.
QString textOfHex(const std::string &hex)
{
    QString text;
    for (std::size_t i = 0; i + 4 <= hex.size(); i += 4)
        text += QChar(ushort(std::strtoul(hex.substr(i, 4).c_str(), nullptr, 16)));
    return text;
}

bool isAllMarks(const QString &text);

/// Whether a CMap destination (UTF-16BE in hex) holds combining marks alone. Most destinations
/// are one unit, read without building a string: every font of every Chromium page goes by here.
bool isAllMarks(std::string_view hex)
{
    if (hex.size() == 4) {
        unsigned unit = 0;
        for (const char digit : hex) {
            const int value = std::isdigit(static_cast<unsigned char>(digit))
                                  ? digit - '0'
                                  : std::tolower(static_cast<unsigned char>(digit)) - 'a' + 10;
            if (value < 0 || value > 15)
                return false;
            unit = unit * 16 + unsigned(value);
        }
        return isMark(char32_t(unit));
    }
    return isAllMarks(textOfHex(std::string(hex)));
}

bool isAllMarks(const QString &text)
{
    const QList<uint> chars = text.toUcs4();
    return !chars.isEmpty() && std::all_of(chars.begin(), chars.end(), [](uint c) { return isMark(char32_t(c)); });
}

constexpr unsigned kMaxRange = 0xFFFF;

/// The character codes a ToUnicode CMap maps to combining marks alone.
MarkCodes markCodesOf(const std::string &cmap)
{
    MarkCodes marks;
    std::vector<std::string> entry; // the hex tokens of the current entry
    std::vector<std::string> list;  // a range's [ … ] of destinations
    bool inList = false;
    CMapScanner scanner(cmap);
    while (const std::optional<CMapToken> token = scanner.next()) {
        const CMapSection section = scanner.section();
        if (token->kind == CMapToken::Kind::Hex) {
            if (section == CMapSection::None)
                continue;
            std::string hex(token->hex);
            if (inList) {
                list.push_back(std::move(hex));
                continue;
            }
            entry.push_back(std::move(hex));
            if (section == CMapSection::Chars && entry.size() == 2) {
                if (isAllMarks(std::string_view(entry[1])))
                    marks.insert(unsigned(std::strtoul(entry[0].c_str(), nullptr, 16)));
                entry.clear();
            } else if (section == CMapSection::Ranges && entry.size() == 3) {
                const unsigned first = unsigned(std::strtoul(entry[0].c_str(), nullptr, 16));
                const unsigned last = unsigned(std::strtoul(entry[1].c_str(), nullptr, 16));
                QString text = textOfHex(entry[2]);
                // Codes are at most two bytes here; a wider range is no font's that Skia writes.
                if (last >= first && last - first <= kMaxRange) {
                    for (unsigned code = first; code <= last && !text.isEmpty(); ++code) {
                        if (isAllMarks(text))
                            marks.insert(code);
                        text.back() = QChar(ushort(text.back().unicode() + 1)); // a range counts up its last unit
                    }
                }
                entry.clear();
            }
        } else if (token->kind == CMapToken::Kind::ListOpen && section == CMapSection::Ranges && entry.size() == 2) {
            inList = true;
        } else if (token->kind == CMapToken::Kind::ListClose && inList) {
            const unsigned first = unsigned(std::strtoul(entry[0].c_str(), nullptr, 16));
            for (std::size_t k = 0; k < list.size(); ++k)
                if (isAllMarks(std::string_view(list[k])))
                    marks.insert(first + unsigned(k));
            inList = false;
            list.clear();
            entry.clear();
        } else if (token->kind == CMapToken::Kind::Keyword) {
            entry.clear();
        }
    }
    return marks;
}

/// What the repair needs of a font that has glyphs for marks.
struct MarkFont
{
    MarkCodes marks;
    int bytesPerCode = 1;
    std::map<unsigned, double> widths; ///< advances in thousandths of the font size
    double defaultWidth = 0;
    bool knowsWidths = false;
};

/// A composite font's advances from its descendant's /W and /DW.
void readWidths(QPDFObjectHandle font, MarkFont &info)
{
    QPDFObjectHandle descendants = font.getKey("/DescendantFonts");
    if (!descendants.isArray() || descendants.getArrayNItems() != 1)
        return;
    QPDFObjectHandle descendant = descendants.getArrayItem(0);
    double number = 0;
    info.defaultWidth = descendant.getKey("/DW").getValueAsNumber(number) ? number : 1000;
    QPDFObjectHandle widths = descendant.getKey("/W");
    if (widths.isArray()) {
        std::vector<QPDFObjectHandle> items = widths.getArrayAsVector();
        for (std::size_t i = 0; i + 1 < items.size();) {
            long long first = 0;
            if (!items[i].getValueAsInt(first))
                return;
            if (items[i + 1].isArray()) {
                std::vector<QPDFObjectHandle> list = items[i + 1].getArrayAsVector();
                for (std::size_t k = 0; k < list.size(); ++k)
                    if (list[k].getValueAsNumber(number))
                        info.widths[unsigned(first) + unsigned(k)] = number;
                i += 2;
                continue;
            }
            long long last = 0;
            if (i + 2 >= items.size() || !items[i + 1].getValueAsInt(last) || !items[i + 2].getValueAsNumber(number) ||
                first < 0 || last < first || last - first > kMaxRange)
                return;
            for (long long code = first; code <= last; ++code)
                info.widths[unsigned(code)] = number;
            i += 3;
        }
    }
    info.knowsWidths = true;
}

/// The page's fonts (by resource name) that have glyphs for marks.
std::map<std::string, MarkFont> fontsWithMarks(QPDFPageObjectHelper &page, std::map<QPDFObjGen, MarkFont> &cache)
{
    std::map<std::string, MarkFont> fonts;
    QPDFObjectHandle resources = page.getAttribute("/Resources", false);
    if (!resources.isDictionary() || !resources.getKey("/Font").isDictionary())
        return fonts;
    QPDFObjectHandle fontDictionary = resources.getKey("/Font");
    for (const std::string &name : fontDictionary.getKeys()) {
        QPDFObjectHandle font = fontDictionary.getKey(name);
        QPDFObjectHandle map = font.getKey("/ToUnicode");
        if (!map.isStream())
            continue;
        auto cached = cache.find(font.getObjGen());
        if (cached == cache.end()) {
            MarkFont info;
            const std::shared_ptr<Buffer> data = map.getStreamData(qpdf_dl_generalized);
            info.marks = markCodesOf(std::string(reinterpret_cast<const char *>(data->getBuffer()), data->getSize()));
            if (!info.marks.empty() && font.getKey("/Subtype").isNameAndEquals("/Type0")) {
                info.bytesPerCode = 2;
                readWidths(font, info);
            }
            cached = cache.emplace(font.getObjGen(), std::move(info)).first;
        }
        if (!cached->second.marks.empty())
            fonts.emplace(name, cached->second);
    }
    return fonts;
}

/// One operator with its operands, as written.
struct Operation
{
    std::vector<Token> operands;
    std::string name;
};

std::string written(const Operation &operation)
{
    std::string out;
    for (const Token &operand : operation.operands) {
        out += operand.getRawValue();
        out += ' ';
    }
    return out + operation.name + '\n';
}

/// The content's operations; nullopt when it holds an inline image or what does not parse.
std::optional<std::vector<Operation>> operationsOf(const std::string &content)
{
    auto input = std::make_shared<BufferInputSource>("page content", content);
    QPDFTokenizer tokenizer;
    tokenizer.allowEOF();
    std::vector<Operation> operations;
    Operation current;
    for (;;) {
        Token token = tokenizer.readToken(input, "page content", true);
        switch (token.getType()) {
        case QPDFTokenizer::tt_eof:
            return operations;
        case QPDFTokenizer::tt_bad:
            return std::nullopt;
        case QPDFTokenizer::tt_word:
            if (token.getValue() == "ID" || token.getValue() == "BI")
                return std::nullopt;
            current.name = token.getValue();
            operations.push_back(std::move(current));
            current = {};
            break;
        default:
            current.operands.push_back(std::move(token));
        }
    }
}

double numberOf(const Token &token)
{
    return std::strtod(token.getValue().c_str(), nullptr);
}

std::string number(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.6f", value);
    std::string written = text;
    written.erase(written.find_last_not_of('0') + 1);
    if (written.back() == '.')
        written.pop_back();
    return written == "-0" ? "0" : written;
}

/// The text of a span's /ActualText, when the BDC's operands are /Span << … /ActualText (…) … >>.
std::optional<QString> actualTextOf(const Operation &operation)
{
    if (operation.operands.empty() || operation.operands.front().getValue() != "/Span")
        return std::nullopt;
    for (std::size_t i = 1; i + 1 < operation.operands.size(); ++i) {
        if (operation.operands[i].getType() != QPDFTokenizer::tt_name ||
            operation.operands[i].getValue() != "/ActualText")
            continue;
        const Token &text = operation.operands[i + 1];
        const std::string &bytes = text.getValue();
        if (text.getType() != QPDFTokenizer::tt_string || bytes.size() < 2 || bytes[0] != '\xFE' || bytes[1] != '\xFF')
            return std::nullopt;
        QString decoded;
        for (std::size_t k = 2; k + 1 < bytes.size(); k += 2)
            decoded +=
                QChar(ushort((static_cast<unsigned char>(bytes[k]) << 8) | static_cast<unsigned char>(bytes[k + 1])));
        return decoded;
    }
    return std::nullopt;
}

/// `text` as a PDF string: UTF-16BE with its byte order mark, in hex.
std::string utf16String(const QString &text)
{
    std::string out = "<FEFF";
    char unit[5];
    for (const QChar c : text) {
        std::snprintf(unit, sizeof unit, "%04X", c.unicode());
        out += unit;
    }
    return out + '>';
}

QString reversed(const QString &text)
{
    QList<uint> chars = text.toUcs4();
    std::reverse(chars.begin(), chars.end());
    return QString::fromUcs4(reinterpret_cast<const char32_t *>(chars.constData()), chars.size());
}

/// The text parameters the repair needs, which q and Q save and restore.
struct TextParameters
{
    std::string font;
    double fontSize = 0;
    std::string renderMode = "0";
    double characterSpacing = 0;
    double wordSpacing = 0;
    double horizontalScaling = 100;

    /// Whether Tc, Tw or Tz move glyphs off their advances.
    bool isSpaced() const { return characterSpacing != 0 || wordSpacing != 0 || horizontalScaling != 100; }
};

/// What a page's text state says at a point of its content.
struct TextState
{
    std::vector<TextParameters> saved{TextParameters{}}; ///< the one in force last
    std::vector<bool> markedContent;                     ///< per open BMC/BDC: whether it is /ReversedChars
    bool penAtLineStart = true; ///< no glyph drawn since the last Td or Tm: Td moves from the pen
};

void follow(TextState &state, const Operation &operation)
{
    const std::string &name = operation.name;
    const std::vector<Token> &operands = operation.operands;
    TextParameters &current = state.saved.back();
    if (name == "Tf" && operands.size() == 2) {
        current.font = operands[0].getValue();
        current.fontSize = numberOf(operands[1]);
    } else if (name == "Tr" && operands.size() == 1) {
        current.renderMode = operands[0].getRawValue();
    } else if (name == "Tc" && operands.size() == 1) {
        current.characterSpacing = numberOf(operands[0]);
    } else if (name == "Tw" && operands.size() == 1) {
        current.wordSpacing = numberOf(operands[0]);
    } else if (name == "Tz" && operands.size() == 1) {
        current.horizontalScaling = numberOf(operands[0]);
    } else if (name == "q") {
        state.saved.push_back(current);
    } else if (name == "Q" && state.saved.size() > 1) {
        state.saved.pop_back();
    } else if (name == "BMC" || name == "BDC") {
        state.markedContent.push_back(name == "BMC" && !operands.empty() && operands[0].getValue() == "/ReversedChars");
    } else if (name == "EMC" && !state.markedContent.empty()) {
        state.markedContent.pop_back();
    } else if (name == "BT" || name == "Td" || name == "TD" || name == "Tm" || name == "T*") {
        state.penAtLineStart = true;
    } else if (name == "Tj" || name == "TJ" || name == "'" || name == "\"") {
        state.penAtLineStart = false;
    }
}

/// The operations of one span (between its BDC and EMC) with an invisible copy of its letter
/// drawn first, or nullopt when it is left as it is. `state` is the state at the BDC.
std::optional<std::string> repairedSpan(const std::vector<Operation> &span, TextState state,
                                        const std::map<std::string, MarkFont> &fonts)
{
    struct Glyph
    {
        std::string code; ///< as in the string
        bool isMark = false;
        bool isPlaced = false; ///< whether x and y are known
        double x = 0;          ///< text space, from the pen where the span's first glyph is drawn
        double y = 0;
        std::optional<double> width; ///< thousandths of the font size
    };
    std::vector<Glyph> glyphs;
    std::size_t start = span.size(); // the first Tj, where the invisible letter goes before
    bool startsAtLineStart = false;  // whether the pen is at the line's start there
    const MarkFont *font = nullptr;
    double fontSize = 0;
    double lineX = 0; // the line's start from the first glyph's pen, when startsAtLineStart
    double lineY = 0;
    double penX = 0;
    double penY = 0;
    bool penIsPlaced = true;
    for (std::size_t i = 0; i < span.size(); ++i) {
        const Operation &operation = span[i];
        const TextParameters &parameters = state.saved.back();
        const bool started = start != span.size();
        if (operation.name == "Td" && operation.operands.size() == 2) {
            if (started) {
                // Td moves from the line's start, known only where the pen was there.
                if (!startsAtLineStart)
                    return std::nullopt;
                lineX += numberOf(operation.operands[0]);
                lineY += numberOf(operation.operands[1]);
                penX = lineX;
                penY = lineY;
                penIsPlaced = true;
            }
        } else if (operation.name == "Tj" && operation.operands.size() == 1 &&
                   operation.operands[0].getType() == QPDFTokenizer::tt_string) {
            const auto found = fonts.find(parameters.font);
            if (found == fonts.end() || (font && font != &found->second) || parameters.isSpaced() ||
                parameters.fontSize <= 0)
                return std::nullopt;
            if (!started) {
                start = i;
                startsAtLineStart = state.penAtLineStart;
                font = &found->second;
                fontSize = parameters.fontSize;
            }
            const std::string &bytes = operation.operands[0].getValue();
            const std::size_t size = std::size_t(font->bytesPerCode);
            if (bytes.empty() || bytes.size() % size != 0)
                return std::nullopt;
            for (std::size_t k = 0; k < bytes.size(); k += size) {
                Glyph glyph;
                glyph.code = bytes.substr(k, size);
                unsigned code = 0;
                for (const char byte : glyph.code)
                    code = (code << 8) | static_cast<unsigned char>(byte);
                glyph.isMark = font->marks.count(code) > 0;
                glyph.isPlaced = penIsPlaced;
                glyph.x = penX;
                glyph.y = penY;
                if (font->knowsWidths) {
                    const auto width = font->widths.find(code);
                    glyph.width = width == font->widths.end() ? font->defaultWidth : width->second;
                    penX += *glyph.width * fontSize / 1000;
                } else {
                    penIsPlaced = false;
                }
                glyphs.push_back(std::move(glyph));
            }
        } else if ((operation.name != "Tf" && operation.name != "Tm") || started) {
            return std::nullopt;
        }
        follow(state, operation);
    }
    // Skia draws the marks of a right-to-left letter first: the letter is the last glyph that is
    // no mark.
    const auto base = std::find_if(glyphs.rbegin(), glyphs.rend(), [](const Glyph &glyph) { return !glyph.isMark; });
    if (base == glyphs.rend() || &*base == &glyphs.front() || !base->isPlaced)
        return std::nullopt;

    const std::string letter = QPDFObjectHandle::newString(base->code).unparseBinary();
    const std::string &renderMode = state.saved.back().renderMode;
    std::string invisible;
    if (startsAtLineStart) {
        invisible = "3 Tr " + number(base->x) + ' ' + number(base->y) + " Td " + letter + " Tj " + renderMode + " Tr " +
                    number(-base->x) + ' ' + number(-base->y) + " Td\n";
    } else if (base->y == 0 && base->width) {
        // Td would move from the line's start, not the pen: move along the line inside TJ, and back.
        const double toLetter = base->x * 1000 / fontSize;
        invisible = "3 Tr [" + number(-toLetter) + ' ' + letter + ' ' + number(toLetter + *base->width) + "] TJ " +
                    renderMode + " Tr\n";
    } else {
        return std::nullopt;
    }
    std::string out;
    for (std::size_t i = 0; i < span.size(); ++i) {
        if (i == start)
            out += invisible;
        out += written(span[i]);
    }
    return out;
}

/// The page's content with its marked spans repaired; nullopt when nothing changes.
std::optional<std::string> repairedContent(const std::string &content, const std::map<std::string, MarkFont> &fonts,
                                           int &repairedSpans)
{
    std::optional<std::vector<Operation>> operations = operationsOf(content);
    if (!operations)
        return std::nullopt;
    std::string out;
    out.reserve(content.size() + content.size() / 4);
    TextState state;
    bool changed = false;
    const std::vector<Operation> &all = *operations;
    for (std::size_t i = 0; i < all.size(); ++i) {
        const Operation &operation = all[i];
        const std::optional<QString> text = operation.name == "BDC" ? actualTextOf(operation) : std::nullopt;
        const QList<uint> chars = text ? text->toUcs4() : QList<uint>{};
        if (!text || std::none_of(chars.begin(), chars.end(), [](uint c) { return isMark(char32_t(c)); })) {
            out += written(operation);
            follow(state, operation);
            continue;
        }
        std::size_t end = i + 1;
        while (end < all.size() && all[end].name != "EMC" && all[end].name != "BDC" && all[end].name != "BMC")
            ++end;
        if (end == all.size() || all[end].name != "EMC") {
            out += written(operation);
            follow(state, operation);
            continue;
        }
        // Left to right, Skia draws the letter before its marks, and poppler places the span right.
        const bool rightToLeft =
            std::find(state.markedContent.begin(), state.markedContent.end(), true) != state.markedContent.end();
        if (!rightToLeft) {
            out += written(operation);
            follow(state, operation);
            continue;
        }
        follow(state, operation);
        const std::vector<Operation> span(all.begin() + std::ptrdiff_t(i) + 1, all.begin() + std::ptrdiff_t(end));
        // Poppler reverses a right-to-left line but not a span's text that holds a mark.
        Operation opening = operation;
        for (std::size_t k = 1; k + 1 < opening.operands.size(); ++k)
            if (opening.operands[k].getValue() == "/ActualText")
                opening.operands[k + 1] = Token(QPDFTokenizer::tt_string, "", utf16String(reversed(*text)), "");
        out += written(opening);
        if (const std::optional<std::string> repaired = repairedSpan(span, state, fonts)) {
            out += *repaired;
        } else {
            for (const Operation &inner : span)
                out += written(inner);
        }
        for (const Operation &inner : span)
            follow(state, inner);
        ++repairedSpans;
        changed = true;
        i = end - 1;
    }
    if (!changed)
        return std::nullopt;
    return out;
}

std::string compressed(const std::string &data)
{
    Pl_Buffer buffer("repaired content");
    Pl_Flate flate("repaired content", &buffer, Pl_Flate::a_deflate);
    flate.write(reinterpret_cast<const unsigned char *>(data.data()), data.size());
    flate.finish();
    const std::shared_ptr<Buffer> bytes = buffer.getBufferSharedPointer();
    return std::string(reinterpret_cast<const char *>(bytes->getBuffer()), bytes->getSize());
}

} // namespace

int repairMarkedText(QPDF &pdf)
{
    int repairedSpans = 0;
    std::map<QPDFObjGen, MarkFont> cache;
    for (QPDFPageObjectHelper &page : QPDFPageDocumentHelper(pdf).getAllPages()) {
        const std::map<std::string, MarkFont> fonts = fontsWithMarks(page, cache);
        if (fonts.empty())
            continue;
        Pl_Buffer buffer("page content");
        page.pipeContents(&buffer);
        const std::shared_ptr<Buffer> bytes = buffer.getBufferSharedPointer();
        const std::string content(reinterpret_cast<const char *>(bytes->getBuffer()), bytes->getSize());
        const std::optional<std::string> repaired = repairedContent(content, fonts, repairedSpans);
        if (!repaired)
            continue;
        QPDFObjectHandle stream = QPDFObjectHandle::newStream(&pdf);
        stream.replaceStreamData(compressed(*repaired), QPDFObjectHandle::newName("/FlateDecode"),
                                 QPDFObjectHandle::newNull());
        page.getObjectHandle().replaceKey("/Contents", stream);
    }
    return repairedSpans;
}

} // namespace tessaly
