// The fonts every script is drawn with, on Chromium's pages and the text engine's.
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

/// Han characters are drawn differently in each of these; each has its own face, which a
/// page puts first for the language of its text.
enum class CjkLanguage
{
    SimplifiedChinese,
    TraditionalChinese,
    Japanese,
    Korean
};

/// The families for `role`, in fallback order: the Latin face (also Greek and Cyrillic), then
/// one named face per script the Latin face lacks, the Chinese, Japanese and Korean faces (the
/// one for `cjk` first), then emoji. Fontconfig is never left to pick: its first
/// choice for Arabic, Noto Kufi Arabic, breaks the PDF's text map, and Chromium embeds the
/// Noto CJK faces (CFF outlines) as dozens of Type 3 fonts.
std::vector<std::string> fontFamilies(FontRole role, CjkLanguage cjk = CjkLanguage::SimplifiedChinese);

/// The same list as a CSS font-family value, names quoted, ending in a generic family.
std::string cssFontFamilies(FontRole role, CjkLanguage cjk = CjkLanguage::SimplifiedChinese);

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

/// The language whose face draws Han characters on the page of `message`: that of the first
/// body with Chinese, Japanese or Korean text (from its lang attribute, its charset, or its
/// letters), else that of the subject. nullopt when neither has such text.
std::optional<CjkLanguage> pageCjkLanguage(const MailMessage &message);

} // namespace tessaly
