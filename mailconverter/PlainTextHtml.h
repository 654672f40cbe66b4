// Plain-text bodies as HTML: escaped, wrapping, with quoted lines set apart by depth.
#pragma once

#include <string>
#include <string_view>

namespace tessaly {

/// Returns `text` (UTF-8, LF line ends) as HTML blocks that keep every space and line
/// break and wrap long lines. Runs of quoted lines ("> ", ">> " …) become blocks coloured
/// by depth; with `simpleCss` only what QTextDocument understands is used (no borders).
std::string plainTextToHtml(std::string_view text, bool simpleCss);

/// The quote depth of a line: the number of '>' before the text, spaces between allowed.
int quoteDepth(std::string_view line);

} // namespace tessaly
