#include "mailconverter/mime/CharsetDecoding.h"

#include "mailconverter/mime/CharsetConversion.h"

#include "support/Utf8.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <vector>

namespace tessaly {

namespace {

// windows-1252 0x80-0x9F; the undefined bytes 81 8D 8F 90 9D keep their C1 code points.
constexpr std::array<char32_t, 32> kWindows1252High = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                                       0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                                       0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                                       0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

std::string normalisedLabel(std::string_view charset)
{
    std::string label;
    for (char c : charset) {
        if (c == '"' || c == '\'' || std::isspace(static_cast<unsigned char>(c)))
            continue;
        label += asciiLower(c);
    }
    return label;
}

// Labels whose text is, in practice, windows-1252: mail clients write Latin-1 or even
// "us-ascii" on text typed with smart quotes and euro signs.
bool isWindows1252Family(const std::string &label)
{
    static constexpr std::string_view kLabels[] = {
        "us-ascii", "ascii",      "ansi_x3.4-1968", "iso-8859-1",   "iso8859-1", "iso_8859-1", "latin1",
        "latin-1",  "l1",         "cp819",          "windows-1252", "cp1252",    "x-cp1252",   "cp-1252",
        "win-1252", "iso-ir-100", "ibm819"};
    return std::find(std::begin(kLabels), std::end(kLabels), label) != std::end(kLabels);
}

bool isUtf8Label(const std::string &label)
{
    return label == "utf-8" || label == "utf8" || label == "x-utf-8" || label == "unicode-1-1-utf-8";
}

// Labels that say nothing about the charset.
bool isUnknownLabel(const std::string &label)
{
    return label.empty() || label == "x-unknown" || label == "unknown" || label == "unknown-8bit" ||
           label == "x-user-defined" || label == "default" || label == "8bit" || label == "charset";
}

bool isMultibyteLabel(const std::string &label)
{
    static constexpr std::string_view kPrefixes[] = {
        "utf-16", "utf-32", "utf-7",       "ucs-",  "unicode", "iso-2022", "shift_jis", "shift-jis",
        "sjis",   "x-sjis", "windows-31j", "cp932", "ms932",   "euc",      "x-euc",     "gb",
        "cp936",  "big5",   "cp950",       "hz",    "ks_c",    "cp949",    "ms949",     "iso-10646"};
    for (std::string_view prefix : kPrefixes) {
        if (std::string_view(label).substr(0, prefix.size()) == prefix)
            return true;
    }
    return false;
}

// True when every byte decodes in `label`; `out` then holds the text.
bool convertWithoutLoss(std::string_view bytes, const std::string &label, std::string &out)
{
    CharsetConversion conversion = convertCharset(bytes, label);
    if (!conversion.known || conversion.badPlaces > 0)
        return false;
    out = std::move(conversion.text);
    return true;
}

// ISO-2022-JP is 7-bit and so valid UTF-8; its escape sequences give it away, and must never
// reach a page.
bool isEscapedIso2022(const std::string &label, std::string_view bytes)
{
    return label.starts_with("iso-2022") && bytes.find('\x1b') != std::string_view::npos;
}

// decodeToUtf8, counting the places marked U+FFFD.
CharsetConversion decodeCounting(std::string_view bytes, const std::string &label)
{
    std::string converted;
    // Multibyte charsets (ISO-2022-JP is pure 7-bit) can look like valid UTF-8, so they
    // are converted first; for every other label valid UTF-8 wins.
    if (isMultibyteLabel(label) && convertWithoutLoss(bytes, label, converted))
        return {true, std::move(converted), 0};
    if (isEscapedIso2022(label, bytes)) {
        if (CharsetConversion lossy = convertCharset(bytes, label); lossy.known)
            return lossy;
    }
    if (isValidUtf8(bytes))
        return {true, std::string(bytes), 0};
    if (isWindows1252Family(label) || isUnknownLabel(label) || isUtf8Label(label))
        return {true, windows1252ToUtf8(bytes), 0};
    // A charset the converter knows: what decodes is kept, the rest marked.
    if (CharsetConversion lossy = convertCharset(bytes, label); lossy.known)
        return lossy;
    return {true, windows1252ToUtf8(bytes), 0};
}

bool convertStrictly(std::string_view bytes, const std::string &label, std::string &out)
{
    return !label.empty() && convertWithoutLoss(bytes, label, out);
}

// The charsets that mail mislabels as one another, in the order they are tried.
const std::vector<std::string> *familyOf(const std::string &label)
{
    static const std::vector<std::string> kJapanese = {"iso-2022-jp", "euc-jp", "shift_jis", "cp932"};
    static const std::vector<std::string> kSimplifiedChinese = {"gb2312", "gbk", "gb18030"};
    static const std::vector<std::string> kTraditionalChinese = {"big5", "cp950"};
    static const std::vector<std::string> kKorean = {"euc-kr", "cp949"};
    struct Prefix
    {
        std::string_view prefix;
        const std::vector<std::string> *family;
    };
    static const Prefix kPrefixes[] = {{"iso-2022-jp", &kJapanese},
                                       {"euc-jp", &kJapanese},
                                       {"x-euc-jp", &kJapanese},
                                       {"shift", &kJapanese},
                                       {"sjis", &kJapanese},
                                       {"x-sjis", &kJapanese},
                                       {"windows-31j", &kJapanese},
                                       {"cp932", &kJapanese},
                                       {"ms932", &kJapanese},
                                       {"gb2312", &kSimplifiedChinese},
                                       {"gbk", &kSimplifiedChinese},
                                       {"x-gbk", &kSimplifiedChinese},
                                       {"gb18030", &kSimplifiedChinese},
                                       {"cp936", &kSimplifiedChinese},
                                       {"euc-cn", &kSimplifiedChinese},
                                       {"big5", &kTraditionalChinese},
                                       {"cp950", &kTraditionalChinese},
                                       {"x-x-big5", &kTraditionalChinese},
                                       {"euc-kr", &kKorean},
                                       {"ks_c_5601", &kKorean},
                                       {"cp949", &kKorean},
                                       {"ms949", &kKorean},
                                       {"iso-2022-kr", &kKorean}};
    for (const Prefix &entry : kPrefixes) {
        if (std::string_view(label).substr(0, entry.prefix.size()) == entry.prefix)
            return entry.family;
    }
    return nullptr;
}

} // namespace

bool isCjkCharset(std::string_view charset)
{
    return familyOf(normalisedLabel(charset)) != nullptr;
}

std::string decodeHeaderBytes(std::string_view bytes, std::string_view declaredCharset)
{
    const std::string label = normalisedLabel(declaredCharset);
    std::string converted;
    if (isEscapedIso2022(label, bytes)) {
        if (CharsetConversion lossy = convertCharset(bytes, label); lossy.known)
            return std::move(lossy.text);
    }
    if (isValidUtf8(bytes))
        return std::string(bytes);
    if (!isWindows1252Family(label) && !isUnknownLabel(label) && !isUtf8Label(label) &&
        convertStrictly(bytes, label, converted))
        return converted;
    return windows1252ToUtf8(bytes);
}

DecodedBody decodeBodyText(std::string_view bytes, std::string_view charset, std::string_view hintCharset)
{
    const std::string label = normalisedLabel(charset);
    std::string converted;
    const std::vector<std::string> *family = familyOf(label);
    if (family) {
        if (convertStrictly(bytes, label, converted))
            return {std::move(converted), {}};
        for (const std::string &member : *family) {
            if (member != label && convertStrictly(bytes, member, converted))
                return {std::move(converted), member};
        }
    }
    const bool labelSaysLittle = isWindows1252Family(label) || isUnknownLabel(label);
    if (!family && labelSaysLittle && !hintCharset.empty() && !isValidUtf8(bytes)) {
        if (const std::vector<std::string> *hinted = familyOf(normalisedLabel(hintCharset))) {
            for (const std::string &member : *hinted) {
                if (convertStrictly(bytes, member, converted))
                    return {std::move(converted), member};
            }
        }
    }
    CharsetConversion decoded = decodeCounting(bytes, label);
    return {std::move(decoded.text), {}, decoded.badPlaces};
}

std::string windows1252ToUtf8(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 8);
    for (char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        if (b < 0x80)
            out += ch;
        else if (b < 0xA0)
            appendUtf8(out, kWindows1252High[b - 0x80]);
        else
            appendUtf8(out, b);
    }
    return out;
}

std::string decodeToUtf8(std::string_view bytes, std::string_view charset)
{
    return decodeCounting(bytes, normalisedLabel(charset)).text;
}

std::string normaliseLineEnds(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            out += '\n';
            if (i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

} // namespace tessaly
