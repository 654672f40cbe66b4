// Escaping text for HTML: text nodes and attribute values of the pages we write.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tessaly {

/// Escapes & < > " ' for use in HTML text and attribute values.
std::string escapeHtml(std::string_view text);

/// Appends `text` to `out`, escaped for a text node or a double-quoted attribute value
/// (& < > "), a no-break space written as "&nbsp;" so that it stays visible as one in markup.
void appendEscaped(std::string &out, std::string_view text);

/// Longer runs of ASCII letters without a space (links, encoded data) get a break opportunity
/// every this many characters. Run over the whole body, `overflow-wrap` makes Chromium's line
/// breaking several times slower; these opportunities cost nothing where no run is this long.
inline constexpr std::size_t kLongRunBreakInterval = 40;

/// As appendEscaped, with a <wbr> inside every long run of non-space ASCII (kLongRunBreakInterval
/// characters), so that a word wider than the page breaks rather than run off it (Chromium
/// would also shrink the whole page to fit it). Other scripts break by their own rules.
void appendEscapedBreakingLongRuns(std::string &out, std::string_view text);

} // namespace tessaly
