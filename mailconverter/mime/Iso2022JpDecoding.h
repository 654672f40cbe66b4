// Reading ISO-2022-JP as Windows and Outlook write it (code pages 50220 and 50221).
#pragma once

#include "mailconverter/mime/CharsetConversion.h"

#include <string_view>

namespace tessaly {

/// Decodes ISO-2022-JP with the Windows extensions that Japanese clients write: the NEC
/// special characters of row 13 (①, №, ㈱) and the IBM extensions of rows 89 to 92 in
/// JIS X 0208 mode, read through CP932; half-width katakana after ESC ( I or between SO and
/// SI; JIS X 0212 after ESC $ ( D. ESC ( J is read as ASCII, as Windows does. An unknown
/// escape sequence, a byte above 0x7F and a half character each become one U+FFFD.
CharsetConversion decodeIso2022Jp(std::string_view bytes);

/// True for the labels decodeIso2022Jp reads (not ISO-2022-JP-2 or -3, which iconv reads).
bool isIso2022JpLabel(std::string_view label);

} // namespace tessaly
