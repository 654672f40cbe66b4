#include "mailconverter/html/SanitizedBodyWriter.h"

#include "mailconverter/html/CssCleaner.h"
#include "mailconverter/html/GumboNodes.h"
#include "mailconverter/html/HtmlElementPolicy.h"
#include "mailconverter/html/HtmlEscaping.h"
#include "mailconverter/html/HtmlPresentation.h"
#include "mailconverter/html/HtmlUrlRules.h"
#include "support/Utf8.h"

#include <optional>
#include <vector>

namespace tessaly {
namespace {

class SanitizedBodyWriter
{
public:
    explicit SanitizedBodyWriter(const SanitizeOptions &options) : m_options(options) {}

    std::string write(const GumboNode *body);

private:
    // An element being written: its end tag follows once its children are done.
    struct OpenElement
    {
        const GumboNode *node;
        unsigned nextChild = 0;
        std::string endTag;
    };

    void writeNode(const GumboNode *node, const GumboNode *parent, std::vector<OpenElement> &open);
    void writeElement(const GumboNode *node, const GumboNode *parent, std::vector<OpenElement> &open);
    void writeAttributes(const GumboElement &element, std::string_view name);
    void writeRemoteImage(const GumboElement &element);

    const SanitizeOptions &m_options;
    std::string m_out;
};

void SanitizedBodyWriter::writeRemoteImage(const GumboElement &element)
{
    RemoteImage image;
    std::string style;
    bool isTiny = true;
    for (const char *dimension : {"width", "height"}) {
        const std::optional<std::string> length = legacyLength(attributeValue(element, dimension));
        if (length)
            style += std::string(dimension) + ":" + *length + ";";
        isTiny = isTiny && (length == "0px" || length == "1px" || length == "2px");
    }
    // A tracking pixel shows nothing in a browser either.
    if (isTiny && !findAttribute(element, "style"))
        return;
    const std::string align = asciiLowercase(attributeValue(element, "align"));
    if (align == "left" || align == "right")
        style += "float:" + align + ";";
    if (const GumboAttribute *own = findAttribute(element, "style"))
        style += cleanCss(own->value, m_options.resolveReference);
    appendEscaped(image.escapedStyle, style);
    image.escapedAlt = escapeHtml(attributeValue(element, "alt"));
    m_out += m_options.remoteImagePlaceholder(image);
}

void SanitizedBodyWriter::writeAttributes(const GumboElement &element, std::string_view name)
{
    const bool isLink = name == "a" || name == "area";
    for (unsigned i = 0; i < element.attributes.length; ++i) {
        const auto &attribute = *static_cast<const GumboAttribute *>(element.attributes.data[i]);
        std::string value = attribute.value;
        switch (attributeRole(attribute.name, isLink)) {
        case AttributeRole::Drop:
            continue;
        case AttributeRole::Style:
            value = cleanCss(value, m_options.resolveReference);
            break;
        case AttributeRole::LinkTarget:
            value = normalisedUrl(value);
            if (!isFollowableLink(value))
                continue; // the link's text stays, as plain text
            break;
        case AttributeRole::Resource: {
            std::optional<ResourceUrl> url = resourceUrl(normalisedUrl(value), m_options.resolveReference);
            if (!url || url->isRemote)
                continue;
            value = std::move(url->url);
            break;
        }
        case AttributeRole::Plain:
            break;
        }
        m_out += ' ';
        m_out += attributeName(attribute);
        m_out += "=\"";
        appendEscaped(m_out, value);
        m_out += '"';
    }
}

void SanitizedBodyWriter::writeElement(const GumboNode *node, const GumboNode *parent, std::vector<OpenElement> &open)
{
    const GumboElement &element = node->v.element;
    const std::string name = elementName(node);
    Treatment treatment = treatmentOf(element.tag, name);
    if (treatment == Treatment::Keep && element.tag == GUMBO_TAG_UNKNOWN && name.empty())
        treatment = Treatment::Unwrap;
    // A block where a table wants its rows would be moved out of the table.
    if (treatment == Treatment::Block && parent && parent->type == GUMBO_NODE_ELEMENT &&
        isTablePart(parent->v.element.tag))
        treatment = Treatment::Unwrap;
    switch (treatment) {
    case Treatment::Drop:
    case Treatment::StyleSheet:
        return;
    case Treatment::Unwrap:
        open.push_back(OpenElement{node, 0, {}});
        return;
    case Treatment::Block:
        m_out += "<div>";
        open.push_back(OpenElement{node, 0, "</div>"});
        return;
    case Treatment::Preformatted:
    case Treatment::InlineText: {
        const std::string text = textContent(node);
        if (treatment == Treatment::InlineText) {
            m_out += "<span style=\"display:inline-block;white-space:pre-wrap;font-family:monospace;"
                     "border:1px solid #999999;padding:2px\">";
        } else {
            // The parser drops a line break right after <pre>, so one that is text is doubled.
            m_out += text.starts_with('\n') ? "<pre>\n" : "<pre>";
        }
        appendEscaped(m_out, text);
        m_out += treatment == Treatment::InlineText ? "</span>" : "</pre>";
        return;
    }
    case Treatment::Keep:
        break;
    }
    if (element.tag == GUMBO_TAG_IMG ||
        (element.tag == GUMBO_TAG_INPUT && asciiLowercase(attributeValue(element, "type")) == "image")) {
        if (const GumboAttribute *src = findAttribute(element, "src");
            src && isRemoteUrl(normalisedUrl(src->value)) && m_options.remoteImagePlaceholder) {
            writeRemoteImage(element);
            return;
        }
    }
    m_out += '<';
    m_out += name;
    writeAttributes(element, name);
    m_out += '>';
    if (element.tag_namespace == GUMBO_NAMESPACE_HTML && isVoidElement(element.tag))
        return;
    if ((element.tag == GUMBO_TAG_PRE || element.tag == GUMBO_TAG_LISTING) && element.children.length > 0) {
        const auto *first = static_cast<const GumboNode *>(element.children.data[0]);
        if ((first->type == GUMBO_NODE_TEXT || first->type == GUMBO_NODE_WHITESPACE) && first->v.text.text[0] == '\n')
            m_out += '\n';
    }
    open.push_back(OpenElement{node, 0, "</" + name + ">"});
}

void SanitizedBodyWriter::writeNode(const GumboNode *node, const GumboNode *parent, std::vector<OpenElement> &open)
{
    switch (node->type) {
    case GUMBO_NODE_TEXT:
    case GUMBO_NODE_WHITESPACE:
    case GUMBO_NODE_CDATA:
        appendEscapedBreakingLongRuns(m_out, node->v.text.text);
        return;
    case GUMBO_NODE_ELEMENT:
        writeElement(node, parent, open);
        return;
    case GUMBO_NODE_TEMPLATE:
    case GUMBO_NODE_COMMENT:
    case GUMBO_NODE_DOCUMENT:
        return;
    }
}

// Depth first with a stack of our own: hostile mail nests elements a hundred thousand deep.
std::string SanitizedBodyWriter::write(const GumboNode *body)
{
    std::vector<OpenElement> open;
    open.push_back(OpenElement{body, 0, {}});
    while (!open.empty()) {
        OpenElement &top = open.back();
        const GumboVector &children = top.node->v.element.children;
        if (top.nextChild < children.length) {
            const GumboNode *parent = top.node;
            const auto *child = static_cast<const GumboNode *>(children.data[top.nextChild++]);
            writeNode(child, parent, open); // may grow `open`: `top` is not used after this
            continue;
        }
        m_out += top.endTag;
        open.pop_back();
    }
    return std::move(m_out);
}

} // namespace

std::string writeSanitizedBody(const GumboNode *body, const SanitizeOptions &options)
{
    return SanitizedBodyWriter(options).write(body);
}

} // namespace tessaly
