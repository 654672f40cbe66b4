// Turning text bytes in any declared (or wrongly declared) charset into UTF-8, losing nothing.
#pragma once

#include <string>
#include <string_view>

namespace tessaly {

/// True when `bytes` is well-formed UTF-8 (no overlongs, no surrogates).
bool isValidUtf8(std::string_view bytes);

/// Decodes `bytes` labelled `charset` (may be empty) to UTF-8. Valid UTF-8 wins over a
/// single-byte label; latin1, us-ascii and iso-8859-1 are read as windows-1252; other labels
/// go through iconv and must consume every byte; otherwise UTF-8, then windows-1252.
/// Never drops a byte: the result always has something for each input byte.
std::string decodeToUtf8(std::string_view bytes, std::string_view charset);

/// Reads every byte as windows-1252 (the five undefined bytes map to C1 controls).
std::string windows1252ToUtf8(std::string_view bytes);

/// Turns CR LF and lone CR into LF.
std::string normaliseLineEnds(std::string_view text);

/// Appends the UTF-8 form of the code point `c`.
void appendUtf8(std::string &out, char32_t c);

} // namespace tessaly
