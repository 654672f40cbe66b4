// Keeping hostile HTML from nesting elements deeper than any browser shows.
#pragma once

#include <string>
#include <string_view>

namespace tessaly {

/// Elements nested deeper than this are not kept apart; their text stays. Browsers stop
/// nesting at a similar depth (Chromium at 512).
inline constexpr int kMaxHtmlNesting = 1024;

/// `html` with the start tags dropped that would open an element deeper than `maxNesting`.
/// An HTML5 parser checks the stack of open elements for nearly every tag, so its time
/// grows with the square of the nesting: 100,000 nested <div> take it most of a minute.
/// The depth is estimated from the tags, generously (end tags count only against start tags
/// of their name); markup that stays below the limit comes back unchanged. Linear time.
std::string limitHtmlNesting(std::string_view html, int maxNesting = kMaxHtmlNesting);

} // namespace tessaly
