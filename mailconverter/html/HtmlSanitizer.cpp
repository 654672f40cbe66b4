// The cleaner's entry: parse the message's HTML as a browser does, then take from the tree its
// style sheets, the body's own attributes and the cleaned body.
#include "mailconverter/html/HtmlSanitizer.h"

#include "mailconverter/html/CssCleaner.h"
#include "mailconverter/html/GumboNodes.h"
#include "mailconverter/html/HtmlEscaping.h"
#include "mailconverter/html/HtmlNestingLimit.h"
#include "mailconverter/html/HtmlPresentation.h"
#include "mailconverter/html/HtmlStyleSheets.h"
#include "mailconverter/html/HtmlUrlRules.h"
#include "mailconverter/html/SanitizedBodyWriter.h"

#include <gumbo.h>

#include <memory>
#include <optional>

namespace tessaly {
namespace {

// Parsed as a standards-mode document, as our page is: the tree we serialise is then the
// one the browser builds again from our serialisation.
constexpr std::string_view kStandardsDoctype = "<!DOCTYPE html>";

struct GumboOutputDeleter
{
    void operator()(GumboOutput *output) const { gumbo_destroy_output(&kGumboDefaultOptions, output); }
};

// The body's presentational attributes become the wrapper's style, read as the browser
// reads them on <body>.
std::string wrapperAttributes(const GumboElement &html, const GumboElement &body, const ReferenceResolver &resolve)
{
    std::string attributes;
    std::string style;
    if (std::optional<std::string> colour = legacyColour(attributeValue(body, "bgcolor")))
        style += "background-color:" + *colour + ";";
    if (std::optional<std::string> colour = legacyColour(attributeValue(body, "text")))
        style += "color:" + *colour + ";";
    if (const GumboAttribute *background = findAttribute(body, "background")) {
        const std::optional<ResourceUrl> url = resourceUrl(normalisedUrl(background->value), resolve);
        if (url && !url->isRemote && !url->url.empty())
            style += "background-image:url(\"" + url->url + "\");";
    }
    if (const GumboAttribute *own = findAttribute(body, "style"))
        style += cleanCss(own->value, resolve) + ";";
    for (const char *name : {"dir", "lang", "class"}) {
        // A language or direction given on <html> applies to the body as well.
        const GumboAttribute *attribute = findAttribute(body, name);
        if (!attribute && std::string_view(name) != "class")
            attribute = findAttribute(html, name);
        if (attribute) {
            attributes += std::string(" ") + name + "=\"";
            appendEscaped(attributes, attribute->value);
            attributes += "\"";
        }
    }
    if (!style.empty()) {
        attributes += " style=\"";
        appendEscaped(attributes, style);
        attributes += "\"";
    }
    return attributes;
}

} // namespace

SanitizedHtml sanitizeHtml(std::string_view html, const SanitizeOptions &options)
{
    const std::string input = std::string(kStandardsDoctype) + limitHtmlNesting(html);
    GumboOptions parsing = kGumboDefaultOptions;
    parsing.max_errors = 0; // we want the tree, not the list of the document's faults
    const std::unique_ptr<GumboOutput, GumboOutputDeleter> output(
        gumbo_parse_with_options(&parsing, input.data(), input.size()));
    if (!output || !output->root)
        return {};
    const GumboNode *root = output->root;
    SanitizedHtml result;
    result.styleSheets = collectStyleSheets(root, options.resolveReference);
    const GumboVector &children = root->v.element.children;
    for (unsigned i = 0; i < children.length; ++i) {
        const auto *child = static_cast<const GumboNode *>(children.data[i]);
        if (child->type == GUMBO_NODE_ELEMENT && child->v.element.tag == GUMBO_TAG_BODY) {
            result.bodyAttributes += wrapperAttributes(root->v.element, child->v.element, options.resolveReference);
            result.body += writeSanitizedBody(child, options);
        }
    }
    return result;
}

} // namespace tessaly
