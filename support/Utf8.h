// UTF-8 text: decoding, validation, cutting at a character boundary, ASCII case.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tessaly {

/// U+FFFD, which stands for bytes that are not well-formed UTF-8.
inline constexpr char32_t kReplacementCharacter = 0xFFFD;

/// Whether `byte` continues a UTF-8 sequence (10xxxxxx) rather than starting a character.
constexpr bool isContinuationByte(char byte)
{
    return (static_cast<unsigned char>(byte) & 0xC0) == 0x80;
}

/// Decodes the UTF-8 character at `pos` (< text.size()) and moves `pos` past it. Ill-formed
/// bytes give one U+FFFD each for: a byte that cannot start a character; a sequence cut short
/// (its lead and the continuation bytes it has); a whole sequence that encodes an overlong
/// form, a surrogate or a value above U+10FFFF.
char32_t nextCodePoint(std::string_view text, std::size_t &pos);

/// Appends the UTF-8 form of the code point `c`.
void appendUtf8(std::string &out, char32_t c);

/// Whether `bytes` is well-formed UTF-8 (Unicode's definition: no overlongs, no surrogates,
/// nothing above U+10FFFF). A NUL byte is well-formed.
bool isValidUtf8(std::string_view bytes);

/// `bytes` with ill-formed parts replaced by U+FFFD as nextCodePoint reads them.
std::string toValidUtf8(std::string_view bytes);

/// The code points of `bytes`, read as nextCodePoint reads them.
std::u32string decodeUtf8(std::string_view bytes);
/// The UTF-8 form of `text`.
std::string encodeUtf8(std::u32string_view text);

/// `pos` moved back to the start of the character it falls in, so that text.substr(0, result)
/// never ends inside a UTF-8 sequence. A `pos` at or past the end gives text.size().
std::size_t characterBoundaryAtOrBefore(std::string_view text, std::size_t pos);

/// `text` cut to at most `maxBytes` bytes at a character boundary.
std::string_view firstBytes(std::string_view text, std::size_t maxBytes);

/// The byte length of the first `count` characters of `text`. A byte that continues a sequence
/// counts with the character before it, so a cut there never splits a sequence.
std::size_t byteLengthOfCharacters(std::string_view text, std::size_t count);

/// The number of characters in `text`: the bytes that do not continue a sequence.
std::size_t characterCount(std::string_view text);

/// `c` with A-Z turned into a-z; every other byte, UTF-8 ones included, as it is. Unlike
/// std::tolower this does not depend on the locale the program runs in.
constexpr char asciiLower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

/// `text` with every A-Z turned into a-z.
std::string asciiLowercase(std::string_view text);

/// Whether `a` and `b` are equal when ASCII letters are compared without regard to case.
bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b);

} // namespace tessaly
