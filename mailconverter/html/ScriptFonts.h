// The fonts every script is drawn with, and the scripts Qt's PDF writer cannot give back.
#pragma once

#include "mailconverter/mime/MailMessage.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessaly {

/// Text or monospaced text (plain-text bodies).
enum class FontRole
{
    Text,
    Monospace
};

/// Who draws the page: the two engines embed fonts differently, and draw emoji differently.
enum class FontEngine
{
    QtPdfWriter,
    Chromium
};

/// Han characters are drawn differently in each of these; each has its own face. Qt keeps
/// the fallback faces of a script for the whole process, so its PDF writer draws them all with
/// the Simplified Chinese face; pages in the others need Chromium (qtPdfWriterCanDraw).
enum class CjkLanguage
{
    SimplifiedChinese,
    TraditionalChinese,
    Japanese,
    Korean
};

/// The families for `role`, in fallback order: the Latin face (also Greek and Cyrillic), then
/// one named face per script the Latin face lacks, the Chinese, Japanese and Korean faces (for
/// Chromium the one for `cjk` first), then emoji. Fontconfig is never left to pick: its first
/// choice for Arabic, Noto Kufi Arabic, breaks the PDF's text map, and Chromium embeds the
/// Noto CJK faces (CFF outlines) as dozens of Type 3 fonts.
std::vector<std::string> fontFamilies(FontRole role, FontEngine engine,
                                      CjkLanguage cjk = CjkLanguage::SimplifiedChinese);

/// The same list as a CSS font-family value, names quoted, ending in a generic family.
std::string cssFontFamilies(FontRole role, FontEngine engine, CjkLanguage cjk = CjkLanguage::SimplifiedChinese);

/// The face that draws `cjk` text (FontRole::Text).
std::string_view cjkFace(CjkLanguage cjk);

/// The language a BCP 47 tag names ("zh-TW", "zh-Hans", "ja", "ko-KR"); nullopt for others.
std::optional<CjkLanguage> cjkLanguageOfTag(std::string_view tag);

/// The lang attribute of an HTML document's <html> or <body> tag; "" when neither has one.
std::string htmlLanguageTag(std::string_view html);

/// The language a legacy charset implies (gb2312, gbk, gb18030, big5, big5-hkscs,
/// iso-2022-jp, shift_jis, euc-jp, euc-kr, ks_c_5601-1987 …); nullopt for others.
std::optional<CjkLanguage> cjkLanguageOfCharset(std::string_view charset);

/// The language of UTF-8 `text` from its letters: Hangul is Korean, kana Japanese, Han with
/// (almost) no kana Chinese, Traditional when its common traditional-only characters outnumber
/// the simplified-only ones. nullopt when the text has no Han, kana or Hangul.
std::optional<CjkLanguage> cjkLanguageOfText(std::string_view text);

/// Whether Qt's PDF writer gives `text` (UTF-8) back as typed. It maps each glyph back to a
/// character through the font's cmap, so glyphs made by shaping (Indic conjuncts, reordered
/// vowel signs, Thai marks, and Arabic vowel marks) copy out wrong or not at all, and so do
/// characters beyond U+FFFF (emoji), which its map leaves out. Text with those needs
/// Chromium, which maps glyphs back by cluster.
bool qtPdfWriterKeepsText(std::string_view text);

/// Whether Qt's PDF writer can draw the page of `message`: it keeps every text the page shows
/// (headers, bodies, attachment names, forwarded messages), and any Chinese, Japanese or
/// Korean text on it is Simplified Chinese.
bool qtPdfWriterCanDraw(const MailMessage &message);

/// Whether Qt's PDF writer can draw the header block of `message`: the same test as
/// qtPdfWriterCanDraw, over the texts the block shows. A message whose body needs Chromium
/// seldom has such a header, and a second Chromium page for it costs a whole render.
bool qtPdfWriterCanDrawHeaderBlock(const MailMessage &message);

/// The language whose face draws Han characters on the page of `message`: that of the first
/// body with Chinese, Japanese or Korean text (from its lang attribute, its charset, or its
/// letters), else that of the subject. nullopt when neither has such text.
std::optional<CjkLanguage> pageCjkLanguage(const MailMessage &message);

} // namespace tessaly
