// Plain-text bodies as HTML: escaped, wrapping, with quoted lines set apart by depth.
#pragma once

#include "mailconverter/html/ScriptFonts.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace tessaly {

/// Quote depths beyond this share the deepest style.
inline constexpr int kMaxStyledDepth = 8;

/// The colours of quote levels 1, 2, 3, 4, 5 …, repeating.
inline constexpr std::string_view kQuoteColours[] = {"#1f5fa8", "#2e7d32", "#8e4a00", "#6a1b9a"};
inline constexpr int kQuoteIndentPt = 6;

/// Lines wider than this many monospace columns are broken into rows of kPrewrapColumns
/// before layout, whose time grows with the square of a line's length; narrower lines wrap
/// at the page edge. The rows fit the narrowest page.
inline constexpr std::size_t kPrewrapAfterColumns = 2000;
inline constexpr std::size_t kPrewrapColumns = 84;

/// Returns `text` (UTF-8, LF line ends) as HTML blocks that keep every space, blank line
/// and line break, with tabs expanded to eight columns. Runs of quoted lines ("> ", ">> " …) become blocks set apart by
/// depth. With `simpleCss` the blocks are <pre>s with inline styles, for a block that stands outside the page's
/// plain-text elements (a calendar drawn as text); otherwise they are <tessaly-text class="tessaly-qN"> elements that
/// the page's own style sheet styles (plainTextStyles), out of reach of a message's CSS. Han characters are drawn in
/// the face for `cjk`.
std::string plainTextToHtml(std::string_view text, bool simpleCss, CjkLanguage cjk = CjkLanguage::SimplifiedChinese);

/// CSS for the <tessaly-text> blocks, with `scope` (a selector) in front of each rule.
std::string plainTextStyles(const std::string &scope, CjkLanguage cjk = CjkLanguage::SimplifiedChinese);

/// The quote depth of a line: the number of '>' before the text, spaces between allowed.
int quoteDepth(std::string_view line);

} // namespace tessaly
