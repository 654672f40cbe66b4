// Turning text bytes in any declared (or wrongly declared) charset into UTF-8, losing nothing.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tessaly {

/// Decodes `bytes` labelled `charset` (may be empty) to UTF-8. Valid UTF-8 wins over a
/// single-byte label; latin1, us-ascii and iso-8859-1 are read as windows-1252; other labels
/// are read as clients read them (see convertCharset), the bytes that do not decode marked
/// U+FFFD; ISO-2022 escape sequences never come through. Labels no converter knows give
/// UTF-8, then windows-1252. Never drops a byte: the result has something for each one.
std::string decodeToUtf8(std::string_view bytes, std::string_view charset);

/// Raw bytes of a header: valid UTF-8 as it is, else `declaredCharset` (the charset the
/// message's text declares) when every byte decodes in it, else windows-1252.
std::string decodeHeaderBytes(std::string_view bytes, std::string_view declaredCharset);

/// A body's text and, when its label did not fit its bytes, the charset it was read in.
struct DecodedBody
{
    std::string text;
    std::string readAs;        ///< "" when the label was used (or nothing better was found)
    std::size_t badPlaces = 0; ///< bytes that decode in no charset tried, marked U+FFFD
};

/// Decodes a body labelled `charset` like decodeToUtf8, except that bytes that do not decode
/// cleanly in a CJK label are read in the first charset of the label's family that takes
/// them without error (e.g. EUC-JP bytes labelled ISO-2022-JP). Bytes labelled as ASCII or
/// Latin that are not UTF-8 are tried in the family of `hintCharset`, a CJK charset the
/// message declares elsewhere, before windows-1252.
DecodedBody decodeBodyText(std::string_view bytes, std::string_view charset, std::string_view hintCharset);

/// True for a label of a CJK charset family that decodeBodyText can retry in.
bool isCjkCharset(std::string_view charset);

/// Reads every byte as windows-1252 (the five undefined bytes map to C1 controls).
std::string windows1252ToUtf8(std::string_view bytes);

/// Turns CR LF and lone CR into LF.
std::string normaliseLineEnds(std::string_view text);

} // namespace tessaly
