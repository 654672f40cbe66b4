#include "mailconverter/html/HtmlStyleSheets.h"

#include "mailconverter/html/CssCleaner.h"
#include "mailconverter/html/GumboNodes.h"
#include "mailconverter/html/HtmlPresentation.h"
#include "support/Utf8.h"

namespace tessaly {
namespace {

bool isCssType(const GumboElement &element)
{
    const GumboAttribute *type = findAttribute(element, "type");
    return !type || type->value[0] == '\0' || asciiLowercase(type->value) == "text/css";
}

StyleSheet styleSheetOf(const GumboNode *style, const ReferenceResolver &resolve)
{
    StyleSheet sheet;
    if (const GumboAttribute *media = findAttribute(style->v.element, "media"))
        sheet.media = screenMedia(media->value);
    std::string css = screenMediaRules(cleanCss(textContent(style), resolve));
    // "</" could end the <style> element it is placed in; "<\/" means the same in CSS.
    for (std::size_t at = css.find("</"); at != std::string::npos; at = css.find("</", at + 3))
        css.replace(at, 2, "<\\/");
    sheet.css = std::move(css);
    return sheet;
}

} // namespace

std::vector<StyleSheet> collectStyleSheets(const GumboNode *root, const ReferenceResolver &resolve)
{
    std::vector<StyleSheet> sheets;
    std::vector<const GumboNode *> pending{root};
    while (!pending.empty()) {
        const GumboNode *node = pending.back();
        pending.pop_back();
        if (node->type != GUMBO_NODE_ELEMENT && node->type != GUMBO_NODE_TEMPLATE)
            continue;
        const GumboElement &element = node->v.element;
        if (element.tag == GUMBO_TAG_STYLE) {
            if (isCssType(element))
                sheets.push_back(styleSheetOf(node, resolve));
            continue;
        }
        if (element.tag == GUMBO_TAG_TEMPLATE || element.tag == GUMBO_TAG_SCRIPT)
            continue;
        for (unsigned i = element.children.length; i-- > 0;)
            pending.push_back(static_cast<const GumboNode *>(element.children.data[i]));
    }
    return sheets;
}

} // namespace tessaly
