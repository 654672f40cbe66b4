// Presentational values of HTML and CSS read the way a browser on a screen reads them.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tessaly {

/// A legacy colour attribute (bgcolor, text) as a CSS colour: "#rrggbb" by the HTML rules
/// for legacy colour values ("DDEEFF" and "#ddeeff" alike), or the value itself when it is a
/// word that is not all hex digits (a colour name, which CSS reads the same way). nullopt for "", "transparent".
std::optional<std::string> legacyColour(std::string_view value);

/// A legacy dimension attribute (width="600", height="50%") as a CSS length; nullopt when
/// it holds no number.
std::optional<std::string> legacyLength(std::string_view value);

/// A media query list as it should read on our printed page to match what it matches on a
/// screen: the media type "screen" becomes "all" and "print" one that never matches, so
/// that width features are then compared with the page's width.
std::string screenMedia(std::string_view mediaQueryList);

/// `css` with the query list of every @media rule read as screenMedia does.
std::string screenMediaRules(std::string_view css);

} // namespace tessaly
