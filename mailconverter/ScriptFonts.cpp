// The fonts every script is drawn with, and the scripts Qt's PDF writer cannot give back.
#include "ScriptFonts.h"

#include "TextHelpers.h"

#include <array>

namespace tessaly {
namespace {

// Each of these copies out as typed through both engines (pdftotext gives the words back).
// Noto Sans Arabic also covers Persian and Urdu; Noto Naskh Arabic loses the lam-alef
// ligature and Noto Kufi Arabic most letters.
constexpr std::array<std::string_view, 4> kScriptFaces = {"Noto Sans Arabic", "Noto Sans Hebrew",
                                                         "Noto Sans Devanagari", "Noto Sans Thai"};

bool isShapedBeyondCmap(char32_t c)
{
    return (c >= 0x064B && c <= 0x065F) || c == 0x0670 || (c >= 0x06D6 && c <= 0x06ED) // Arabic vowel marks
        || (c >= 0x0900 && c <= 0x0DFF)     // Devanagari to Sinhala
        || (c >= 0x0E00 && c <= 0x0FFF)     // Thai, Lao, Tibetan
        || (c >= 0x1000 && c <= 0x109F)     // Myanmar
        || (c >= 0x1780 && c <= 0x17FF)     // Khmer
        || (c >= 0x1900 && c <= 0x1CFF)     // Limbu to Sundanese, Vedic extensions
        || (c >= 0xA800 && c <= 0xAAFF)     // Syloti Nagri to Tai Viet
        || (c >= 0xABC0 && c <= 0xABFF)     // Meetei Mayek
        || (c >= 0x11000 && c <= 0x11FFF);  // Brahmi and the other historic Indic scripts
}

} // namespace

std::vector<std::string> fontFamilies(FontRole role, FontEngine engine)
{
    std::vector<std::string> families;
    families.emplace_back(role == FontRole::Monospace ? "Liberation Mono" : "Noto Sans");
    for (std::string_view face : kScriptFaces)
        families.emplace_back(face);
    families.emplace_back(role == FontRole::Monospace ? "Noto Sans Mono CJK JP" : "Noto Sans CJK JP");
    // Colour emoji come out blank in Qt's PDF output; Symbola draws them in monochrome.
    families.emplace_back(engine == FontEngine::QtPdfWriter ? "Symbola" : "Tessaly Emoji");
    return families;
}

std::string cssFontFamilies(FontRole role, FontEngine engine)
{
    std::string css;
    for (const std::string &family : fontFamilies(role, engine))
        css += "\"" + family + "\",";
    css += role == FontRole::Monospace ? "monospace" : "sans-serif";
    return css;
}

bool qtPdfWriterKeepsText(std::string_view text)
{
    for (std::size_t pos = 0; pos < text.size();) {
        if (static_cast<unsigned char>(text[pos]) < 0x80) {
            ++pos;
            continue;
        }
        if (isShapedBeyondCmap(nextCodePoint(text, pos)))
            return false;
    }
    return true;
}

bool qtPdfWriterKeepsText(const MailMessage &message)
{
    const auto addressesKept = [](const std::vector<MailAddress> &addresses) {
        for (const MailAddress &address : addresses) {
            if (!qtPdfWriterKeepsText(address.name))
                return false;
        }
        return true;
    };
    if (!qtPdfWriterKeepsText(message.subject) || !addressesKept(message.from) || !addressesKept(message.to)
        || !addressesKept(message.cc))
        return false;
    for (const BodyPart &body : message.bodies) {
        if (!qtPdfWriterKeepsText(body.text))
            return false;
    }
    for (const AttachmentPart &attachment : message.attachments) {
        if (!qtPdfWriterKeepsText(attachment.declaredName))
            return false;
    }
    for (const MailMessage &forwarded : message.forwarded) {
        if (!qtPdfWriterKeepsText(forwarded))
            return false;
    }
    return true;
}

} // namespace tessaly
