#include "mailconverter/html/HtmlSanitizer.h"

#include "mailconverter/html/HtmlNestingLimit.h"
#include "mailconverter/html/HtmlPresentation.h"
#include "support/Utf8.h"

#include <gumbo.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <memory>
#include <optional>

namespace tessaly {

namespace {

// Parsed as a standards-mode document, as our page is: the tree we serialise is then the
// one the browser builds again from our serialisation.
constexpr std::string_view kStandardsDoctype = "<!DOCTYPE html>";

// A URL as the URL parser reads it: leading and trailing controls and spaces go, and so
// do tabs and line breaks anywhere ("java\nscript:" is "javascript:").
std::string normalisedUrl(std::string_view value)
{
    while (!value.empty() && static_cast<unsigned char>(value.front()) <= 0x20)
        value.remove_prefix(1);
    while (!value.empty() && static_cast<unsigned char>(value.back()) <= 0x20)
        value.remove_suffix(1);
    std::string url;
    url.reserve(value.size());
    for (char c : value) {
        if (c != '\t' && c != '\n' && c != '\r')
            url += c;
    }
    return url;
}

// The URL's scheme in lower case, or "" for a relative URL.
std::string schemeOf(std::string_view url)
{
    if (url.empty() || !std::isalpha(static_cast<unsigned char>(url.front())))
        return {};
    for (std::size_t i = 1; i < url.size(); ++i) {
        const char c = url[i];
        if (c == ':')
            return asciiLowercase(url.substr(0, i));
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.')
            return {};
    }
    return {};
}

bool isRemoteUrl(std::string_view url)
{
    const std::string scheme = schemeOf(url);
    return scheme == "http" || scheme == "https" || scheme == "ftp" || scheme == "file" || url.starts_with("//") ||
           url.starts_with("\\\\");
}

// The links a reader of the PDF may follow; anything else (javascript:, file:, our own
// scheme) would become a link action in the PDF.
bool isFollowableLink(std::string_view url)
{
    const std::string scheme = schemeOf(url);
    return scheme == "http" || scheme == "https" || scheme == "mailto" || url.starts_with('#');
}

const GumboAttribute *findAttribute(const GumboElement &element, const char *name)
{
    return gumbo_get_attribute(&element.attributes, name);
}

std::string attributeValue(const GumboElement &element, const char *name)
{
    const GumboAttribute *attribute = findAttribute(element, name);
    return attribute ? std::string(attribute->value) : std::string();
}

// The entity that stands for `c` in a text node or a double-quoted attribute value; "" when
// `c` stands for itself.
std::string_view markupEntity(char c)
{
    switch (c) {
    case '&':
        return "&amp;";
    case '<':
        return "&lt;";
    case '>':
        return "&gt;";
    case '"':
        return "&quot;";
    default:
        return {};
    }
}

// Escapes text for an HTML text node or a double-quoted attribute value, keeping no-break
// spaces visible as such in the cleaned markup.
void appendEscaped(std::string &out, std::string_view text)
{
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\xC2' && i + 1 < text.size() && text[i + 1] == '\xA0') {
            out += "&nbsp;";
            ++i;
        } else if (const std::string_view entity = markupEntity(c); !entity.empty()) {
            out += entity;
        } else {
            out += c;
        }
    }
}

/// Longer runs of ASCII letters without a space (links, encoded data) get a break opportunity
/// every this many characters. Run over the whole body, `overflow-wrap` makes Chromium's line
/// breaking several times slower; these opportunities cost nothing where no run is this long.
constexpr std::size_t kLongRunBreakInterval = 40;

// Escapes a text node's text, with a <wbr> inside every kLongRunBreakInterval characters of a
// run of non-space ASCII, so that a word wider than the page breaks rather than run off it
// (Chromium would also shrink the whole page to fit it). Other scripts break by their own rules.
void appendEscapedBreakingLongRuns(std::string &out, std::string_view text)
{
    std::size_t runLength = 0;
    std::size_t pieceStart = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte >= 0x80 || byte <= ' ') {
            runLength = 0;
            continue;
        }
        if (++runLength > kLongRunBreakInterval) {
            appendEscaped(out, text.substr(pieceStart, i - pieceStart));
            out += "<wbr>";
            pieceStart = i;
            runLength = 1;
        }
    }
    appendEscaped(out, text.substr(pieceStart));
}

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

bool isAnimation(std::string_view name)
{
    // SVG animations can set an href after the cleaner has looked at it.
    const std::string lower = asciiLowercase(name);
    return lower == "animate" || lower == "set" || lower == "animatemotion" || lower == "animatetransform";
}

Treatment treatmentOf(GumboTag tag, std::string_view name)
{
    switch (tag) {
    case GUMBO_TAG_SCRIPT:
    case GUMBO_TAG_IFRAME:
    case GUMBO_TAG_OBJECT:
    case GUMBO_TAG_APPLET:
    case GUMBO_TAG_EMBED:
    case GUMBO_TAG_PARAM:
    case GUMBO_TAG_FRAMESET:
    case GUMBO_TAG_FRAME:
    case GUMBO_TAG_NOEMBED:
    case GUMBO_TAG_NOFRAMES:
    case GUMBO_TAG_TEMPLATE:
    case GUMBO_TAG_TITLE:
    case GUMBO_TAG_BASE:
    case GUMBO_TAG_LINK:
    case GUMBO_TAG_META:
    case GUMBO_TAG_BGSOUND:
    case GUMBO_TAG_KEYGEN:
    case GUMBO_TAG_DATALIST:
    case GUMBO_TAG_HEAD:
        return Treatment::Drop;
    case GUMBO_TAG_STYLE:
        return Treatment::StyleSheet;
    case GUMBO_TAG_NOSCRIPT:
    case GUMBO_TAG_SELECT:
    case GUMBO_TAG_OPTION:
    case GUMBO_TAG_OPTGROUP:
        // No script runs, so a browser shows what <noscript> holds; a list box is shown as
        // the text of its options.
        return Treatment::Unwrap;
    case GUMBO_TAG_FORM:
    case GUMBO_TAG_ISINDEX:
        return Treatment::Block;
    case GUMBO_TAG_XMP:
    case GUMBO_TAG_PLAINTEXT:
        return Treatment::Preformatted;
    case GUMBO_TAG_TEXTAREA:
        return Treatment::InlineText;
    default:
        return isAnimation(name) ? Treatment::Drop : Treatment::Keep;
    }
}

bool isVoidElement(GumboTag tag)
{
    switch (tag) {
    case GUMBO_TAG_AREA:
    case GUMBO_TAG_BR:
    case GUMBO_TAG_COL:
    case GUMBO_TAG_HR:
    case GUMBO_TAG_IMG:
    case GUMBO_TAG_INPUT:
    case GUMBO_TAG_SOURCE:
    case GUMBO_TAG_TRACK:
    case GUMBO_TAG_WBR:
    case GUMBO_TAG_BASEFONT:
        return true;
    default:
        return false;
    }
}

bool isTablePart(GumboTag tag)
{
    return tag == GUMBO_TAG_TABLE || tag == GUMBO_TAG_TBODY || tag == GUMBO_TAG_THEAD || tag == GUMBO_TAG_TFOOT ||
           tag == GUMBO_TAG_TR;
}

// The element's name as the serialisation must write it.
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

bool isCssType(const GumboElement &element)
{
    const GumboAttribute *type = findAttribute(element, "type");
    return !type || type->value[0] == '\0' || asciiLowercase(type->value) == "text/css";
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

struct GumboOutputDeleter
{
    void operator()(GumboOutput *output) const { gumbo_destroy_output(&kGumboDefaultOptions, output); }
};

class Sanitizer
{
public:
    explicit Sanitizer(const SanitizeOptions &options) : m_options(options) {}

    SanitizedHtml run(std::string_view html);

private:
    // An element being written: its end tag follows once its children are done.
    struct OpenElement
    {
        const GumboNode *node;
        unsigned nextChild = 0;
        std::string endTag;
    };

    void collectStyleSheets(const GumboNode *root);
    void takeBodyAttributes(const GumboElement &html, const GumboElement &body);
    void writeContent(const GumboNode *root);
    void writeNode(const GumboNode *node, const GumboNode *parent, std::vector<OpenElement> &open);
    void writeElement(const GumboNode *node, const GumboNode *parent, std::vector<OpenElement> &open);
    void writeAttributes(const GumboElement &element, std::string_view name);
    void writeRemoteImage(const GumboElement &element);
    std::optional<std::string> rewriteUrl(const std::string &url, bool &remote) const;
    std::string rewriteCssUrls(std::string_view css) const;
    std::string cleanStyle(std::string_view style) const;

    const SanitizeOptions &m_options;
    SanitizedHtml m_result;
};

// The URL to use instead of `url` (normalised); nullopt when the reference must go. A path
// that is not one of the message's own parts would otherwise make a renderer read a local file.
std::optional<std::string> Sanitizer::rewriteUrl(const std::string &url, bool &remote) const
{
    remote = false;
    const std::string scheme = schemeOf(url);
    if (scheme == "cid") {
        if (m_options.resolveReference) {
            std::string resolved = m_options.resolveReference(std::string_view(url).substr(4), true);
            if (!resolved.empty())
                return resolved;
        }
        return url;
    }
    if (isRemoteUrl(url)) {
        remote = true;
        return url;
    }
    if (url.empty() || scheme == "data" || url.front() == '#')
        return url;
    if (scheme.empty() && m_options.resolveReference) {
        std::string resolved = m_options.resolveReference(url, false);
        if (!resolved.empty())
            return resolved;
    }
    return std::nullopt;
}

// Rewrites url(cid:…) in CSS; remote url()s are left to the request blocker, which
// refuses them, because CSS backgrounds have no place for a visible placeholder.
std::string Sanitizer::rewriteCssUrls(std::string_view css) const
{
    std::string out;
    std::size_t pos = 0;
    const std::string lower = asciiLowercase(css);
    while (true) {
        const std::size_t at = lower.find("url(", pos);
        if (at == std::string::npos)
            break;
        std::size_t begin = at + 4;
        while (begin < css.size() &&
               (std::isspace(static_cast<unsigned char>(css[begin])) || css[begin] == '"' || css[begin] == '\''))
            ++begin;
        std::size_t end = begin;
        while (end < css.size() && css[end] != ')' && css[end] != '"' && css[end] != '\'' &&
               !std::isspace(static_cast<unsigned char>(css[end])))
            ++end;
        out += css.substr(pos, begin - pos);
        bool remote = false;
        out += rewriteUrl(normalisedUrl(css.substr(begin, end - begin)), remote).value_or(std::string());
        pos = end;
    }
    out += css.substr(pos);
    // expression() and behaviour bindings are script in disguise.
    std::string lowered = asciiLowercase(out);
    for (std::string_view bad : {"expression(", "-moz-binding", "behavior:"}) {
        std::size_t at = 0;
        while ((at = lowered.find(bad, at)) != std::string::npos) {
            out.replace(at, bad.size(), std::string(bad.size(), '_'));
            lowered.replace(at, bad.size(), std::string(bad.size(), '_'));
            at += bad.size();
        }
    }
    return out;
}

std::string Sanitizer::cleanStyle(std::string_view style) const
{
    return rewriteCssUrls(style);
}

// Every CSS <style> in the document, in order: a browser applies those of the body too.
void Sanitizer::collectStyleSheets(const GumboNode *root)
{
    std::vector<const GumboNode *> pending{root};
    while (!pending.empty()) {
        const GumboNode *node = pending.back();
        pending.pop_back();
        if (node->type != GUMBO_NODE_ELEMENT && node->type != GUMBO_NODE_TEMPLATE)
            continue;
        const GumboElement &element = node->v.element;
        if (element.tag == GUMBO_TAG_STYLE) {
            if (!isCssType(element))
                continue;
            StyleSheet sheet;
            if (const GumboAttribute *media = findAttribute(element, "media"))
                sheet.media = screenMedia(media->value);
            std::string css = screenMediaRules(rewriteCssUrls(textContent(node)));
            // "</" could end the <style> element it is placed in; "<\/" means the same in CSS.
            for (std::size_t at = css.find("</"); at != std::string::npos; at = css.find("</", at + 3))
                css.replace(at, 2, "<\\/");
            sheet.css = std::move(css);
            m_result.styleSheets.push_back(std::move(sheet));
            continue;
        }
        if (element.tag == GUMBO_TAG_TEMPLATE || element.tag == GUMBO_TAG_SCRIPT)
            continue;
        for (unsigned i = element.children.length; i-- > 0;)
            pending.push_back(static_cast<const GumboNode *>(element.children.data[i]));
    }
}

// The body's presentational attributes become the wrapper's style, read as the browser
// reads them on <body>.
void Sanitizer::takeBodyAttributes(const GumboElement &html, const GumboElement &body)
{
    std::string style;
    if (std::optional<std::string> colour = legacyColour(attributeValue(body, "bgcolor")))
        style += "background-color:" + *colour + ";";
    if (std::optional<std::string> colour = legacyColour(attributeValue(body, "text")))
        style += "color:" + *colour + ";";
    if (const GumboAttribute *background = findAttribute(body, "background")) {
        bool remote = false;
        const std::optional<std::string> url = rewriteUrl(normalisedUrl(background->value), remote);
        if (url && !remote && !url->empty())
            style += "background-image:url(\"" + *url + "\");";
    }
    if (const GumboAttribute *own = findAttribute(body, "style"))
        style += rewriteCssUrls(own->value) + ";";
    for (const char *name : {"dir", "lang", "class"}) {
        // A language or direction given on <html> applies to the body as well.
        const GumboAttribute *attribute = findAttribute(body, name);
        if (!attribute && std::string_view(name) != "class")
            attribute = findAttribute(html, name);
        if (attribute) {
            m_result.bodyAttributes += std::string(" ") + name + "=\"";
            appendEscaped(m_result.bodyAttributes, attribute->value);
            m_result.bodyAttributes += "\"";
        }
    }
    if (!style.empty()) {
        m_result.bodyAttributes += " style=\"";
        appendEscaped(m_result.bodyAttributes, style);
        m_result.bodyAttributes += "\"";
    }
}

void Sanitizer::writeRemoteImage(const GumboElement &element)
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
        style += cleanStyle(own->value);
    appendEscaped(image.escapedStyle, style);
    image.escapedAlt = escapeHtml(attributeValue(element, "alt"));
    m_result.body += m_options.remoteImagePlaceholder(image);
}

void Sanitizer::writeAttributes(const GumboElement &element, std::string_view name)
{
    const bool isLink = name == "a" || name == "area";
    for (unsigned i = 0; i < element.attributes.length; ++i) {
        const auto &attribute = *static_cast<const GumboAttribute *>(element.attributes.data[i]);
        const std::string_view attributeLocal = attribute.name;
        if (attributeLocal.starts_with("on") || attributeLocal == "formaction" || attributeLocal == "action" ||
            attributeLocal == "srcdoc" || attributeLocal == "ping" || attributeLocal.ends_with("srcset"))
            continue; // srcset would only offer remote alternatives
        std::string value = attribute.value;
        if (attributeLocal == "style") {
            value = cleanStyle(value);
        } else if (attributeLocal == "href" && isLink) {
            value = normalisedUrl(value);
            if (!isFollowableLink(value))
                continue; // the link's text stays, as plain text
        } else if (attributeLocal == "href" || attributeLocal == "src" || attributeLocal == "background" ||
                   attributeLocal == "poster" || attributeLocal == "lowsrc" || attributeLocal == "dynsrc") {
            bool remote = false;
            std::optional<std::string> url = rewriteUrl(normalisedUrl(value), remote);
            if (!url || remote)
                continue;
            value = std::move(*url);
        }
        m_result.body += ' ';
        m_result.body += attributeName(attribute);
        m_result.body += "=\"";
        appendEscaped(m_result.body, value);
        m_result.body += '"';
    }
}

void Sanitizer::writeElement(const GumboNode *node, const GumboNode *parent, std::vector<OpenElement> &open)
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
        m_result.body += "<div>";
        open.push_back(OpenElement{node, 0, "</div>"});
        return;
    case Treatment::Preformatted:
    case Treatment::InlineText: {
        const std::string text = textContent(node);
        if (treatment == Treatment::InlineText) {
            m_result.body += "<span style=\"display:inline-block;white-space:pre-wrap;font-family:monospace;"
                             "border:1px solid #999999;padding:2px\">";
        } else {
            // The parser drops a line break right after <pre>, so one that is text is doubled.
            m_result.body += text.starts_with('\n') ? "<pre>\n" : "<pre>";
        }
        appendEscaped(m_result.body, text);
        m_result.body += treatment == Treatment::InlineText ? "</span>" : "</pre>";
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
    m_result.body += '<';
    m_result.body += name;
    writeAttributes(element, name);
    m_result.body += '>';
    if (element.tag_namespace == GUMBO_NAMESPACE_HTML && isVoidElement(element.tag))
        return;
    if ((element.tag == GUMBO_TAG_PRE || element.tag == GUMBO_TAG_LISTING) && element.children.length > 0) {
        const auto *first = static_cast<const GumboNode *>(element.children.data[0]);
        if ((first->type == GUMBO_NODE_TEXT || first->type == GUMBO_NODE_WHITESPACE) && first->v.text.text[0] == '\n')
            m_result.body += '\n';
    }
    open.push_back(OpenElement{node, 0, "</" + name + ">"});
}

void Sanitizer::writeNode(const GumboNode *node, const GumboNode *parent, std::vector<OpenElement> &open)
{
    switch (node->type) {
    case GUMBO_NODE_TEXT:
    case GUMBO_NODE_WHITESPACE:
    case GUMBO_NODE_CDATA:
        appendEscapedBreakingLongRuns(m_result.body, node->v.text.text);
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

// Writes what `root` holds, depth first with a stack of our own: hostile mail nests
// elements a hundred thousand deep.
void Sanitizer::writeContent(const GumboNode *root)
{
    std::vector<OpenElement> open;
    open.push_back(OpenElement{root, 0, {}});
    while (!open.empty()) {
        OpenElement &top = open.back();
        const GumboVector &children = top.node->v.element.children;
        if (top.nextChild < children.length) {
            const GumboNode *parent = top.node;
            const auto *child = static_cast<const GumboNode *>(children.data[top.nextChild++]);
            writeNode(child, parent, open); // may grow `open`: `top` is not used after this
            continue;
        }
        m_result.body += top.endTag;
        open.pop_back();
    }
}

SanitizedHtml Sanitizer::run(std::string_view html)
{
    const std::string input = std::string(kStandardsDoctype) + limitHtmlNesting(html);
    GumboOptions options = kGumboDefaultOptions;
    options.max_errors = 0; // we want the tree, not the list of the document's faults
    const std::unique_ptr<GumboOutput, GumboOutputDeleter> output(
        gumbo_parse_with_options(&options, input.data(), input.size()));
    if (!output || !output->root)
        return {};
    const GumboNode *root = output->root;
    collectStyleSheets(root);
    const GumboVector &children = root->v.element.children;
    for (unsigned i = 0; i < children.length; ++i) {
        const auto *child = static_cast<const GumboNode *>(children.data[i]);
        if (child->type == GUMBO_NODE_ELEMENT && child->v.element.tag == GUMBO_TAG_BODY) {
            takeBodyAttributes(root->v.element, child->v.element);
            writeContent(child);
        }
    }
    return std::move(m_result);
}

} // namespace

SanitizedHtml sanitizeHtml(std::string_view html, const SanitizeOptions &options)
{
    return Sanitizer(options).run(html);
}

std::string escapeHtml(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    for (char c : text) {
        if (c == '\'')
            out += "&#39;";
        else if (const std::string_view entity = markupEntity(c); !entity.empty())
            out += entity;
        else
            out += c;
    }
    return out;
}

} // namespace tessaly
