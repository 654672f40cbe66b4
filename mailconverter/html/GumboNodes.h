// Reading gumbo's parse tree: attributes, the names serialisation writes, and text.
#pragma once

#include <gumbo.h>

#include <string>

namespace tessaly {

/// The attribute `name` of `element`, or null.
const GumboAttribute *findAttribute(const GumboElement &element, const char *name);
/// The value of the attribute `name` of `element`, "" when it has none.
std::string attributeValue(const GumboElement &element, const char *name);

/// The element's name as a serialisation must write it: lower case, SVG's names in their
/// mixed case ("foreignObject"), an unknown element's as written.
std::string elementName(const GumboNode *element);
/// The attribute's name with its namespace's prefix ("xlink:href").
std::string attributeName(const GumboAttribute &attribute);

/// The text of `node` and everything in it, comments left out; walked with a stack of its
/// own, since hostile mail nests elements very deep.
std::string textContent(const GumboNode *node);

} // namespace tessaly
