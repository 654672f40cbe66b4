#include "mailconverter/html/ScriptFonts.h"

#include "support/Utf8.h"

#include <algorithm>
#include <array>

namespace tessaly {
namespace {

// Each of these copies out as typed (pdftotext gives the words back).
// Noto Sans Arabic also covers Persian and Urdu; Noto Naskh Arabic loses the lam-alef
// ligature and Noto Kufi Arabic most letters.
constexpr std::array<std::string_view, 4> kScriptFaces = {"Noto Sans Arabic", "Noto Sans Hebrew",
                                                          "Noto Sans Devanagari", "Noto Sans Thai"};

struct CjkFaces
{
    CjkLanguage language;
    std::string_view text;
    std::string_view monospace;
};

// TrueType outlines, which Chromium embeds as CID fonts; all copy out as typed, and all allow
// embedding a subset (GPL-2 with the font exception, the IPA licence, OFL). WenQuanYi Zen
// Hei comes first among the rest: it covers the most Han, kana and Hangul, the Traditional
// forms too, which it draws as well. The Arphic face drawn for those before states no
// embedding exception in its licence.
constexpr std::array<CjkFaces, 4> kCjkFaces = {{
    {CjkLanguage::SimplifiedChinese, "WenQuanYi Zen Hei", "WenQuanYi Zen Hei Mono"},
    {CjkLanguage::Japanese, "IPAPGothic", "IPAGothic"},
    {CjkLanguage::Korean, "NanumBarunGothic", "NanumBarunGothic"},
    {CjkLanguage::TraditionalChinese, "WenQuanYi Zen Hei", "WenQuanYi Zen Hei Mono"},
}};

const CjkFaces &cjkFaces(CjkLanguage cjk)
{
    for (const CjkFaces &faces : kCjkFaces) {
        if (faces.language == cjk)
            return faces;
    }
    return kCjkFaces[0];
}

std::string lowerAscii(std::string_view text)
{
    std::string lower(text);
    for (char &c : lower) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return lower;
}

} // namespace

std::vector<std::string> fontFamilies(FontRole role, CjkLanguage cjk)
{
    std::vector<std::string> families;
    families.emplace_back(role == FontRole::Monospace ? "Liberation Mono" : "Noto Sans");
    for (std::string_view face : kScriptFaces)
        families.emplace_back(face);
    families.emplace_back(role == FontRole::Monospace ? cjkFaces(cjk).monospace : cjkFaces(cjk).text);
    for (const CjkFaces &faces : kCjkFaces) {
        // Simplified and Traditional Chinese share a face: name it once.
        const std::string_view face = role == FontRole::Monospace ? faces.monospace : faces.text;
        if (std::find(families.begin(), families.end(), face) == families.end())
            families.emplace_back(face);
    }
    // Emoji in Symbola, a monochrome outline face, written as text: Chromium writes colour
    // emoji as bitmaps. "Tessaly Emoji" is the message page's name for it (HtmlComposer);
    // pages without it name Symbola itself.
    families.emplace_back("Tessaly Emoji");
    families.emplace_back("Symbola");
    return families;
}

std::string cssFontFamilies(FontRole role, CjkLanguage cjk)
{
    std::string css;
    for (const std::string &family : fontFamilies(role, cjk))
        css += "\"" + family + "\",";
    css += role == FontRole::Monospace ? "monospace" : "sans-serif";
    return css;
}

std::optional<CjkLanguage> pageCjkLanguage(const MailMessage &message)
{
    for (const BodyPart &body : message.bodies) {
        const std::optional<CjkLanguage> byText = cjkLanguageOfText(body.text);
        if (!byText)
            continue;
        if (body.kind == BodyPart::Kind::Html) {
            if (const std::optional<CjkLanguage> byTag = cjkLanguageOfTag(htmlLanguageTag(body.text)))
                return byTag;
        }
        return cjkLanguageOfCharset(body.charset).value_or(*byText);
    }
    return cjkLanguageOfText(message.subject);
}

std::string_view cjkFace(CjkLanguage cjk)
{
    return cjkFaces(cjk).text;
}

std::optional<CjkLanguage> cjkLanguageOfTag(std::string_view tag)
{
    const std::string lower = lowerAscii(tag);
    const auto is = [&](std::string_view prefix) {
        return lower.starts_with(prefix) &&
               (lower.size() == prefix.size() || lower[prefix.size()] == '-' || lower[prefix.size()] == '_');
    };
    if (is("ja"))
        return CjkLanguage::Japanese;
    if (is("ko"))
        return CjkLanguage::Korean;
    if (!is("zh"))
        return std::nullopt;
    for (std::string_view traditional : {"-hant", "-tw", "-hk", "-mo", "_tw", "_hk"}) {
        if (lower.find(traditional) != std::string::npos)
            return CjkLanguage::TraditionalChinese;
    }
    return CjkLanguage::SimplifiedChinese;
}

std::string htmlLanguageTag(std::string_view html)
{
    // The tags come first; no need to read a long body to its end.
    const std::string head = lowerAscii(html.substr(0, 16 * 1024));
    for (std::string_view tag : {"<html", "<body"}) {
        const std::size_t start = head.find(tag);
        if (start == std::string::npos)
            continue;
        const std::size_t end = head.find('>', start);
        std::size_t at = head.find("lang=", start);
        if (at == std::string::npos || at > end ||
            !(head[at - 1] == ' ' || head[at - 1] == '\t' || head[at - 1] == '\n'))
            continue;
        at += 5;
        const char quote = head[at] == '"' || head[at] == '\'' ? head[at] : 0;
        if (quote)
            ++at;
        const std::size_t stop = quote ? head.find(quote, at) : head.find_first_of(" \t\n/>", at);
        return std::string(html.substr(at, std::min(stop, end) - at));
    }
    return {};
}

std::optional<CjkLanguage> cjkLanguageOfCharset(std::string_view charset)
{
    const std::string lower = lowerAscii(charset);
    if (lower.starts_with("gb") || lower == "hz-gb-2312" || lower == "euc-cn" || lower == "cp936")
        return CjkLanguage::SimplifiedChinese;
    if (lower.starts_with("big5") || lower == "cp950" || lower == "euc-tw")
        return CjkLanguage::TraditionalChinese;
    if (lower.starts_with("iso-2022-jp") || lower == "shift_jis" || lower == "sjis" || lower == "euc-jp" ||
        lower == "cp932" || lower == "windows-31j" || lower == "x-sjis")
        return CjkLanguage::Japanese;
    if (lower == "euc-kr" || lower.starts_with("ks_c_5601") || lower == "cp949" || lower == "iso-2022-kr" ||
        lower == "uhc")
        return CjkLanguage::Korean;
    return std::nullopt;
}

std::optional<CjkLanguage> cjkLanguageOfText(std::string_view text)
{
    // Common characters that only one of the two Chinese writings uses.
    static constexpr std::u32string_view kSimplifiedOnly = U"们这个来说时国为对学发问请关与开还进会么后们过电话经没现";
    static constexpr std::u32string_view kTraditionalOnly = U"們這個來說時國為對學發問請關與開還進會麼後們過電話經沒現";
    int han = 0;
    int kana = 0;
    int hangul = 0;
    int simplified = 0;
    int traditional = 0;
    for (std::size_t pos = 0; pos < text.size();) {
        if (static_cast<unsigned char>(text[pos]) < 0x80) {
            ++pos;
            continue;
        }
        const char32_t c = nextCodePoint(text, pos);
        if (c >= 0x3040 && c <= 0x30FF) {
            ++kana;
        } else if ((c >= 0xAC00 && c <= 0xD7A3) || (c >= 0x1100 && c <= 0x11FF) || (c >= 0x3130 && c <= 0x318F)) {
            ++hangul;
        } else if ((c >= 0x4E00 && c <= 0x9FFF) || (c >= 0x3400 && c <= 0x4DBF) || (c >= 0x20000 && c <= 0x3FFFF)) {
            ++han;
            simplified += kSimplifiedOnly.find(c) != std::u32string_view::npos ? 1 : 0;
            traditional += kTraditionalOnly.find(c) != std::u32string_view::npos ? 1 : 0;
        }
    }
    if (hangul > 0 && hangul >= kana)
        return CjkLanguage::Korean;
    // Chinese writers borrow the odd "の"; Japanese text is mostly kana.
    if (kana > 0 && kana * 10 >= han)
        return CjkLanguage::Japanese;
    if (han == 0)
        return std::nullopt;
    return traditional > simplified ? CjkLanguage::TraditionalChinese : CjkLanguage::SimplifiedChinese;
}

} // namespace tessaly
