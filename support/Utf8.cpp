#include "support/Utf8.h"

#include <cstdint>
#include <cstring>

namespace tessaly {
namespace {

/// The first byte at or after `pos` that is not ASCII, or text.size(); eight bytes a step,
/// since most mail text is ASCII.
std::size_t skipAscii(std::string_view text, std::size_t pos)
{
    constexpr std::uint64_t kHighBits = 0x8080808080808080u;
    while (pos + 8 <= text.size()) {
        std::uint64_t block = 0;
        std::memcpy(&block, text.data() + pos, 8);
        if (block & kHighBits)
            break;
        pos += 8;
    }
    while (pos < text.size() && static_cast<unsigned char>(text[pos]) < 0x80)
        ++pos;
    return pos;
}

/// One read of nextCodePoint: a character, or the bytes that stand for one U+FFFD.
struct Sequence
{
    char32_t codePoint = 0;
    std::size_t length = 1;
    bool wellFormed = false;
};

Sequence sequenceAt(std::string_view text, std::size_t pos)
{
    const auto lead = static_cast<unsigned char>(text[pos]);
    if (lead < 0x80)
        return {lead, 1, true};
    std::size_t length = 0;
    char32_t minimum = 0; // anything below has a shorter form
    if ((lead & 0xE0) == 0xC0) {
        length = 2, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, minimum = 0x10000;
    } else {
        return {}; // a continuation byte, or F8-FF
    }
    char32_t c = lead & (0x7Fu >> length);
    for (std::size_t k = 1; k < length; ++k) {
        if (pos + k >= text.size() || !isContinuationByte(text[pos + k]))
            return {0, k, false}; // cut short: the byte that ends it starts the next read
        c = (c << 6) | (static_cast<unsigned char>(text[pos + k]) & 0x3Fu);
    }
    const bool isSurrogate = c >= 0xD800 && c <= 0xDFFF;
    return {c, length, c >= minimum && c <= 0x10FFFF && !isSurrogate};
}

} // namespace

char32_t nextCodePoint(std::string_view text, std::size_t &pos)
{
    const Sequence sequence = sequenceAt(text, pos);
    pos += sequence.length;
    return sequence.wellFormed ? sequence.codePoint : kReplacementCharacter;
}

void appendUtf8(std::string &out, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

bool isValidUtf8(std::string_view bytes)
{
    std::size_t pos = 0;
    while ((pos = skipAscii(bytes, pos)) < bytes.size()) {
        const Sequence sequence = sequenceAt(bytes, pos);
        if (!sequence.wellFormed)
            return false;
        pos += sequence.length;
    }
    return true;
}

std::string toValidUtf8(std::string_view bytes)
{
    if (isValidUtf8(bytes))
        return std::string(bytes);
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 2);
    for (std::size_t pos = 0; pos < bytes.size();)
        appendUtf8(out, nextCodePoint(bytes, pos));
    return out;
}

std::u32string decodeUtf8(std::string_view bytes)
{
    std::u32string out;
    out.reserve(bytes.size());
    for (std::size_t pos = 0; pos < bytes.size();)
        out.push_back(nextCodePoint(bytes, pos));
    return out;
}

std::string encodeUtf8(std::u32string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (char32_t c : text)
        appendUtf8(out, c);
    return out;
}

std::size_t characterBoundaryAtOrBefore(std::string_view text, std::size_t pos)
{
    if (pos >= text.size())
        return text.size();
    while (pos > 0 && isContinuationByte(text[pos]))
        --pos;
    return pos;
}

std::string_view firstBytes(std::string_view text, std::size_t maxBytes)
{
    return text.substr(0, characterBoundaryAtOrBefore(text, maxBytes));
}

std::size_t byteLengthOfCharacters(std::string_view text, std::size_t count)
{
    std::size_t characters = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (isContinuationByte(text[i]))
            continue;
        if (characters == count)
            return i;
        ++characters;
    }
    return text.size();
}

std::size_t characterCount(std::string_view text)
{
    std::size_t count = 0;
    for (char c : text)
        count += isContinuationByte(c) ? 0 : 1;
    return count;
}

std::string asciiLowercase(std::string_view text)
{
    std::string out(text);
    for (char &c : out)
        c = asciiLower(c);
    return out;
}

bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (asciiLower(a[i]) != asciiLower(b[i]))
            return false;
    }
    return true;
}

} // namespace tessaly
