#include "mailconverter/html/HtmlPresentation.h"

#include "support/TextHelpers.h"
#include "support/Utf8.h"

#include <algorithm>
#include <cctype>

namespace tessaly {

namespace {

bool isAsciiSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

std::string_view trimAsciiSpace(std::string_view text)
{
    while (!text.empty() && isAsciiSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isAsciiSpace(text.back()))
        text.remove_suffix(1);
    return text;
}

bool isIdentifierChar(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' || static_cast<unsigned char>(c) >= 0x80;
}

} // namespace

// The HTML rules for parsing a legacy colour value, without the named-colour table: a word
// is handed to CSS, which knows the same names.
std::optional<std::string> legacyColour(std::string_view value)
{
    value = trimAsciiSpace(value);
    if (value.empty() || equalsIgnoringAsciiCase(value, "transparent"))
        return std::nullopt;
    bool isWord = true;
    bool isHex = true;
    for (char c : value) {
        isWord = isWord && std::isalpha(static_cast<unsigned char>(c));
        isHex = isHex && hexDigitValue(c) >= 0;
    }
    if (isWord && !isHex)
        return std::string(value);
    std::string digits;
    if (value.size() == 4 && value[0] == '#' && hexDigitValue(value[1]) >= 0 && hexDigitValue(value[2]) >= 0 &&
        hexDigitValue(value[3]) >= 0) {
        for (char c : value.substr(1))
            digits += std::string(2, asciiLower(c));
        return "#" + digits;
    }
    for (std::size_t i = 0; i < value.size() && digits.size() < 128;) {
        const std::size_t start = i;
        const char32_t c = nextCodePoint(value, i);
        if (c > 0xFFFF)
            digits += "00"; // a character outside the BMP is two UTF-16 units
        else if (c >= 0x80)
            digits += '0';
        else if (start != 0 || c != '#')
            digits += hexDigitValue(static_cast<char>(c)) >= 0 ? static_cast<char>(c) : '0';
    }
    digits.resize(std::min<std::size_t>(digits.size(), 128));
    while (digits.empty() || digits.size() % 3 != 0)
        digits += '0';
    std::size_t length = digits.size() / 3;
    std::string parts[3] = {digits.substr(0, length), digits.substr(length, length), digits.substr(2 * length)};
    if (length > 8) {
        for (std::string &part : parts)
            part.erase(0, length - 8);
        length = 8;
    }
    while (length > 2 && parts[0][0] == '0' && parts[1][0] == '0' && parts[2][0] == '0') {
        for (std::string &part : parts)
            part.erase(0, 1);
        --length;
    }
    std::string colour = "#";
    for (std::string &part : parts)
        colour += part.substr(0, 2);
    return asciiLowercase(colour);
}

// The HTML rules for parsing dimension values: leading digits, an optional fraction, an
// optional percent sign; whatever follows is ignored.
std::optional<std::string> legacyLength(std::string_view value)
{
    value = trimAsciiSpace(value);
    std::size_t end = 0;
    while (end < value.size() && std::isdigit(static_cast<unsigned char>(value[end])))
        ++end;
    if (end == 0)
        return std::nullopt;
    std::string number(value.substr(0, end));
    if (end + 1 < value.size() && value[end] == '.' && std::isdigit(static_cast<unsigned char>(value[end + 1]))) {
        std::size_t fractionEnd = end + 1;
        while (fractionEnd < value.size() && std::isdigit(static_cast<unsigned char>(value[fractionEnd])))
            ++fractionEnd;
        number += value.substr(end, fractionEnd - end);
        end = fractionEnd;
    }
    return number + (end < value.size() && value[end] == '%' ? "%" : "px");
}

std::string screenMedia(std::string_view mediaQueryList)
{
    std::string out;
    out.reserve(mediaQueryList.size());
    int depth = 0;
    std::size_t i = 0;
    while (i < mediaQueryList.size()) {
        const char c = mediaQueryList[i];
        if (depth == 0 && (std::isalpha(static_cast<unsigned char>(c)) || c == '-')) {
            std::size_t end = i;
            while (end < mediaQueryList.size() && isIdentifierChar(mediaQueryList[end]))
                ++end;
            const std::string_view word = mediaQueryList.substr(i, end - i);
            // "tv" is a media type that matches neither screen nor print.
            out += equalsIgnoringAsciiCase(word, "screen")  ? std::string_view("all")
                   : equalsIgnoringAsciiCase(word, "print") ? "tv"
                                                            : word;
            i = end;
            continue;
        }
        depth += c == '(' ? 1 : c == ')' && depth > 0 ? -1 : 0;
        out += c;
        ++i;
    }
    return out;
}

std::string screenMediaRules(std::string_view css)
{
    std::string out;
    out.reserve(css.size());
    std::size_t i = 0;
    while (i < css.size()) {
        const char c = css[i];
        if (c == '/' && i + 1 < css.size() && css[i + 1] == '*') {
            const std::size_t close = css.find("*/", i + 2);
            const std::size_t end = close == std::string_view::npos ? css.size() : close + 2;
            out += css.substr(i, end - i);
            i = end;
            continue;
        }
        if (c == '"' || c == '\'') {
            std::size_t end = i + 1;
            while (end < css.size() && css[end] != c && css[end] != '\n')
                end += css[end] == '\\' ? 2 : 1;
            end = std::min(end + 1, css.size());
            out += css.substr(i, end - i);
            i = end;
            continue;
        }
        if (c == '@' && i + 6 <= css.size() && equalsIgnoringAsciiCase(css.substr(i + 1, 5), "media") &&
            (i + 6 == css.size() || !isIdentifierChar(css[i + 6]))) {
            const std::size_t brace = css.find_first_of("{;", i + 6);
            const std::size_t end = brace == std::string_view::npos ? css.size() : brace;
            out += "@media";
            out += screenMedia(css.substr(i + 6, end - i - 6));
            i = end;
            continue;
        }
        out += c;
        ++i;
    }
    return out;
}

} // namespace tessaly
