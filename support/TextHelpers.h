// Small text helpers shared by the run and the naming step.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tessaly {

/// `text` without leading and trailing blanks (spaces only; tabs and the rest stay).
std::string trimBlanks(std::string_view text);

/// The value of a hexadecimal digit, or -1 for any other character.
int hexDigitValue(char c);

/// `text` with every byte but the URL-unreserved ones (letters, digits, "-._~") and those in
/// `alsoKeep` written as %XX (RFC 3986).
std::string percentEncode(std::string_view text, std::string_view alsoKeep = {});

/// Undoes percentEncode (and any %XX); malformed escapes are kept as they are.
std::string percentDecode(std::string_view text);

/// `text` cut after `maxCharacters` code points (never inside a UTF-8 sequence), followed
/// by a note of how many were left out; unchanged when short enough.
std::string cutForDisplay(std::string_view text, std::size_t maxCharacters);

/// "2,650": digits grouped by threes with commas.
std::string groupedNumber(std::size_t number);

} // namespace tessaly
