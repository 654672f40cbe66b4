// Makes the text of a rendered PDF copy and search as it was typed.
#pragma once

#include <string>
#include <string_view>

class QPDF;

namespace tessaly {

/// Rewrites the character codes' Unicode values in a ToUnicode CMap where a renderer wrote a
/// compatibility form for a glyph it shares with the plain character: Kangxi and CJK radicals
/// (the glyphs of "日" and "⽇" are one), CJK compatibility ideographs, Latin ligatures and
/// Hebrew and Arabic presentation forms. Each becomes its compatibility decomposition (NFKC),
/// which is what the reader typed. Everything else of the map stays as it is.
std::string repairedToUnicodeMap(std::string_view cmap);

/// Applies repairedToUnicodeMap to every font's /ToUnicode map in `pdf`. Returns how many
/// maps changed. Throws what qpdf throws.
int repairTextMaps(QPDF &pdf);

} // namespace tessaly
