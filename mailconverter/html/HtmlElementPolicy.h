// What the cleaner keeps of each element and attribute of a message's HTML.
#pragma once

#include <gumbo.h>

#include <string_view>

namespace tessaly {

/// What becomes of an element.
enum class Treatment
{
    Keep,         ///< the element with its cleaned attributes
    Drop,         ///< the element and everything in it
    Unwrap,       ///< its content only
    Block,        ///< a plain <div> (forms)
    Preformatted, ///< a <pre> of its text (elements whose text browsers show raw)
    InlineText,   ///< an inline box of its text (text areas)
    StyleSheet,   ///< collected into the page's head
};

/// The treatment of the element `tag`, named `name` as serialisation writes it. Scripts,
/// frames, objects, embeds, <base>, <link>, <meta> and SVG animations (which can set an href
/// after the cleaner has looked at it) are dropped; forms become blocks.
Treatment treatmentOf(GumboTag tag, std::string_view name);

/// Whether the HTML element `tag` has no end tag.
bool isVoidElement(GumboTag tag);
/// Whether `tag` holds a table's rows, where a block would be moved out of the table.
bool isTablePart(GumboTag tag);

/// What becomes of an attribute.
enum class AttributeRole
{
    Drop,       ///< event handlers, form actions, srcdoc, ping, and srcset (only remote alternatives)
    Style,      ///< CSS, cleaned
    LinkTarget, ///< the href of a link: kept only when it may be followed
    Resource,   ///< a URL something is loaded from: rewritten, or dropped
    Plain,      ///< kept as written
};

/// The role of the attribute named `name` (without its namespace) on an element that is a
/// link (<a>, <area>) or not.
AttributeRole attributeRole(std::string_view name, bool onLink);

} // namespace tessaly
