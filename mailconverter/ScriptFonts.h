// The fonts every script is drawn with, and the scripts Qt's PDF writer cannot give back.
#pragma once

#include "MailMessage.h"

#include <string>
#include <string_view>
#include <vector>

namespace tessaly {

/// Text or monospaced text (plain-text bodies).
enum class FontRole { Text, Monospace };

/// Who draws the page: the two engines embed fonts differently, and draw emoji differently.
enum class FontEngine { QtPdfWriter, Chromium };

/// The families for `role`, in fallback order: the Latin face (also Greek and Cyrillic), then
/// one named face per script the Latin face lacks, then emoji. Fontconfig is never left to
/// pick: its first choice for Arabic, Noto Kufi Arabic, breaks the PDF's text map.
std::vector<std::string> fontFamilies(FontRole role, FontEngine engine);

/// The same list as a CSS font-family value, names quoted, ending in a generic family.
std::string cssFontFamilies(FontRole role, FontEngine engine);

/// Whether Qt's PDF writer gives `text` (UTF-8) back as typed. It maps each glyph back to a
/// character through the font's cmap, so glyphs made by shaping (Indic conjuncts, reordered
/// vowel signs, Thai marks, and Arabic vowel marks) copy out wrong or not at all. Text with
/// those needs Chromium, which maps glyphs back by cluster.
bool qtPdfWriterKeepsText(std::string_view text);

/// The same for every text a message's page shows: headers, bodies, attachment names and
/// forwarded messages.
bool qtPdfWriterKeepsText(const MailMessage &message);

} // namespace tessaly
