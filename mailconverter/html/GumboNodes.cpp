#include "mailconverter/html/GumboNodes.h"

#include "support/Utf8.h"

#include <string_view>
#include <vector>

namespace tessaly {

const GumboAttribute *findAttribute(const GumboElement &element, const char *name)
{
    return gumbo_get_attribute(&element.attributes, name);
}

std::string attributeValue(const GumboElement &element, const char *name)
{
    const GumboAttribute *attribute = findAttribute(element, name);
    return attribute ? std::string(attribute->value) : std::string();
}

std::string elementName(const GumboNode *node)
{
    const GumboElement &element = node->v.element;
    if (element.tag != GUMBO_TAG_UNKNOWN) {
        if (element.tag_namespace == GUMBO_NAMESPACE_SVG) {
            GumboStringPiece original = element.original_tag;
            gumbo_tag_from_original_text(&original);
            if (const char *svgName = gumbo_normalize_svg_tagname(&original))
                return svgName;
        }
        return gumbo_normalized_tagname(element.tag);
    }
    GumboStringPiece original = element.original_tag;
    gumbo_tag_from_original_text(&original);
    std::string name = asciiLowercase(std::string_view(original.data ? original.data : "", original.length));
    if (element.tag_namespace == GUMBO_NAMESPACE_SVG) {
        if (const char *svgName = gumbo_normalize_svg_tagname(&original))
            return svgName;
    }
    return name;
}

std::string attributeName(const GumboAttribute &attribute)
{
    switch (attribute.attr_namespace) {
    case GUMBO_ATTR_NAMESPACE_XLINK:
        return std::string("xlink:") + attribute.name;
    case GUMBO_ATTR_NAMESPACE_XML:
        return std::string("xml:") + attribute.name;
    case GUMBO_ATTR_NAMESPACE_XMLNS:
        return std::string_view(attribute.name) == "xmlns" ? std::string("xmlns")
                                                           : std::string("xmlns:") + attribute.name;
    default:
        return attribute.name;
    }
}

std::string textContent(const GumboNode *node)
{
    std::string text;
    std::vector<const GumboNode *> pending{node};
    while (!pending.empty()) {
        const GumboNode *current = pending.back();
        pending.pop_back();
        if (current->type == GUMBO_NODE_ELEMENT || current->type == GUMBO_NODE_TEMPLATE) {
            const GumboVector &children = current->v.element.children;
            for (unsigned i = children.length; i-- > 0;)
                pending.push_back(static_cast<const GumboNode *>(children.data[i]));
        } else if (current->type != GUMBO_NODE_COMMENT && current->type != GUMBO_NODE_DOCUMENT) {
            text += current->v.text.text;
        }
    }
    return text;
}

} // namespace tessaly
