// Converting text in a named charset to UTF-8 as mail clients read it, bad bytes marked.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tessaly {

/// What a conversion gave: UTF-8 text with U+FFFD in place of each byte (or escape
/// sequence) that does not decode, and how many such places there were.
struct CharsetConversion
{
    bool known = false;        ///< false when no converter knows the label; `text` is then empty
    std::string text;          ///< valid UTF-8
    std::size_t badPlaces = 0; ///< U+FFFD added for bytes that do not decode
};

/// The converter name for a charset label (lower case, without quotes or blanks), after the
/// WHATWG Encoding Standard's aliases, which are how clients read mail: Shift_JIS as CP932,
/// EUC-JP with the Windows extensions, gb2312 and GBK as GB18030, Big5 as Big5-HKSCS,
/// ks_c_5601-1987 and EUC-KR as CP949, ISO-8859-9 as windows-1254, TIS-620 as windows-874.
/// Other labels are returned as they are.
std::string converterNameOf(std::string_view label);

/// Converts `bytes` labelled `label` (lower case, without quotes or blanks) to UTF-8 through
/// converterNameOf; ISO-2022-JP is read as its Windows superset (see decodeIso2022Jp).
/// Never stops at a bad byte: it is marked and the conversion goes on.
CharsetConversion convertCharset(std::string_view bytes, std::string_view label);

} // namespace tessaly
