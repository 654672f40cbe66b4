// Small text helpers shared by the run and the naming step.
#pragma once

#include <string>
#include <string_view>

namespace tessaly {

/// `text` without leading and trailing blanks (spaces only; tabs and the rest stay).
std::string trimBlanks(std::string_view text);

/// The value of a hexadecimal digit, or -1 for any other character.
int hexDigitValue(char c);

/// Whether `a` and `b` are equal when ASCII letters are compared without regard to case.
bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b);

/// `text` with every byte but the URL-unreserved ones (letters, digits, "-._~") and those in
/// `alsoKeep` written as %XX (RFC 3986).
std::string percentEncode(std::string_view text, std::string_view alsoKeep = {});

/// Undoes percentEncode (and any %XX); malformed escapes are kept as they are.
std::string percentDecode(std::string_view text);

/// Decodes the UTF-8 character at `pos` and moves `pos` past it. A byte that does not start
/// a well-formed character gives U+FFFD and moves one byte.
char32_t nextCodePoint(std::string_view text, std::size_t &pos);

} // namespace tessaly
