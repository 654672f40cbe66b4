// The common mail fonts that are seldom installed, and the installed faces that stand in for
// them, which the message's page declares as @font-face rules for Chromium.
#pragma once

#include "mailconverter/html/ScriptFonts.h"

#include <array>
#include <string_view>

namespace tessaly {

/// A common mail font and the installed face with the same metrics.
struct FontAlias
{
    std::string_view family;
    std::string_view regular; ///< the regular face's full name
    std::string_view stem;    ///< the family's name; "<stem> Bold", "<stem> Italic", "<stem> Bold Italic"
};

inline constexpr std::array<FontAlias, 8> kFontAliases = {{
    {"Calibri", "Carlito", "Carlito"},
    {"Cambria", "Caladea Regular", "Caladea"},
    {"Arial", "Liberation Sans", "Liberation Sans"},
    {"Helvetica", "Liberation Sans", "Liberation Sans"},
    {"Times New Roman", "Liberation Serif", "Liberation Serif"},
    {"Times", "Liberation Serif", "Liberation Serif"},
    {"Courier New", "Liberation Mono", "Liberation Mono"},
    {"Courier", "Liberation Mono", "Liberation Mono"},
}};

/// A common Chinese, Japanese or Korean mail font, drawn with the installed face of its
/// language, so that a message naming it never reaches a face Chromium embeds as Type 3 fonts.
struct CjkFontAlias
{
    std::string_view family;
    CjkLanguage language;
};

inline constexpr std::array<CjkFontAlias, 30> kCjkFontAliases = {{
    {"SimSun", CjkLanguage::SimplifiedChinese},
    {"宋体", CjkLanguage::SimplifiedChinese},
    {"NSimSun", CjkLanguage::SimplifiedChinese},
    {"新宋体", CjkLanguage::SimplifiedChinese},
    {"SimHei", CjkLanguage::SimplifiedChinese},
    {"黑体", CjkLanguage::SimplifiedChinese},
    {"Microsoft YaHei", CjkLanguage::SimplifiedChinese},
    {"微软雅黑", CjkLanguage::SimplifiedChinese},
    {"DengXian", CjkLanguage::SimplifiedChinese},
    {"等线", CjkLanguage::SimplifiedChinese},
    {"PMingLiU", CjkLanguage::TraditionalChinese},
    {"新細明體", CjkLanguage::TraditionalChinese},
    {"MingLiU", CjkLanguage::TraditionalChinese},
    {"細明體", CjkLanguage::TraditionalChinese},
    {"Microsoft JhengHei", CjkLanguage::TraditionalChinese},
    {"微軟正黑體", CjkLanguage::TraditionalChinese},
    {"MS PGothic", CjkLanguage::Japanese},
    {"ＭＳ Ｐゴシック", CjkLanguage::Japanese},
    {"MS Gothic", CjkLanguage::Japanese},
    {"ＭＳ ゴシック", CjkLanguage::Japanese},
    {"Meiryo", CjkLanguage::Japanese},
    {"メイリオ", CjkLanguage::Japanese},
    {"Yu Gothic", CjkLanguage::Japanese},
    {"游ゴシック", CjkLanguage::Japanese},
    {"Malgun Gothic", CjkLanguage::Korean},
    {"맑은 고딕", CjkLanguage::Korean},
    {"Gulim", CjkLanguage::Korean},
    {"굴림", CjkLanguage::Korean},
    {"Dotum", CjkLanguage::Korean},
    {"돋움", CjkLanguage::Korean},
}};

} // namespace tessaly
