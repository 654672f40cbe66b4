// Cleaning a message's CSS, in style sheets and style attributes alike.
#pragma once

#include "mailconverter/html/HtmlUrlRules.h"

#include <string>
#include <string_view>

namespace tessaly {

/// `css` with each url() rewritten as resourceUrl says (one that must go is left empty), and
/// expression(), -moz-binding and behavior: (script in disguise) made harmless. Remote url()s
/// stay: the renderer's request blocker refuses them, since a CSS background has no place for
/// a visible placeholder.
std::string cleanCss(std::string_view css, const ReferenceResolver &resolve);

} // namespace tessaly
