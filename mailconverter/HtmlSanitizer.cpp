// Making a message's HTML safe and self-contained for embedding in our page.
#include "HtmlSanitizer.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <map>
#include <optional>
#include <vector>

namespace tessaly {

namespace {

struct Attribute
{
    std::string name; ///< lower case
    std::string value;
    bool hasValue = false;
};

struct Tag
{
    std::string name; ///< lower case
    bool closing = false;
    bool selfClosing = false;
    std::vector<Attribute> attributes;
};

std::string toLower(std::string_view text)
{
    std::string out(text);
    for (char &c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

bool isNameChar(char c)
{
    return !isSpace(c) && c != '>' && c != '/' && c != '=' && c != '<';
}

// Parses the tag starting at html[pos] == '<'. Returns the index after '>' or nullopt when
// this '<' does not start a tag (then it is text).
std::optional<std::size_t> parseTag(std::string_view html, std::size_t pos, Tag &tag)
{
    std::size_t i = pos + 1;
    if (i < html.size() && html[i] == '/') {
        tag.closing = true;
        ++i;
    }
    if (i >= html.size() || !std::isalpha(static_cast<unsigned char>(html[i])))
        return std::nullopt;
    const std::size_t nameStart = i;
    while (i < html.size() && isNameChar(html[i]))
        ++i;
    tag.name = toLower(html.substr(nameStart, i - nameStart));
    while (i < html.size()) {
        while (i < html.size() && (isSpace(html[i]) || html[i] == '/')) {
            if (html[i] == '/' && i + 1 < html.size() && html[i + 1] == '>')
                tag.selfClosing = true;
            ++i;
        }
        if (i >= html.size())
            break;
        if (html[i] == '>')
            return i + 1;
        Attribute attribute;
        const std::size_t attrStart = i;
        while (i < html.size() && isNameChar(html[i]))
            ++i;
        if (i == attrStart) {
            ++i; // a stray '=' or '<': skip it
            continue;
        }
        attribute.name = toLower(html.substr(attrStart, i - attrStart));
        std::size_t j = i;
        while (j < html.size() && isSpace(html[j]))
            ++j;
        if (j < html.size() && html[j] == '=') {
            ++j;
            while (j < html.size() && isSpace(html[j]))
                ++j;
            attribute.hasValue = true;
            if (j < html.size() && (html[j] == '"' || html[j] == '\'')) {
                const char quote = html[j];
                const std::size_t close = html.find(quote, j + 1);
                const std::size_t end = close == std::string_view::npos ? html.size() : close;
                attribute.value = std::string(html.substr(j + 1, end - j - 1));
                i = close == std::string_view::npos ? html.size() : close + 1;
            } else {
                const std::size_t valueStart = j;
                while (j < html.size() && !isSpace(html[j]) && html[j] != '>')
                    ++j;
                attribute.value = std::string(html.substr(valueStart, j - valueStart));
                i = j;
            }
        }
        tag.attributes.push_back(std::move(attribute));
    }
    return html.size();
}

const Attribute *findAttribute(const Tag &tag, std::string_view name)
{
    for (const Attribute &attribute : tag.attributes) {
        if (attribute.name == name)
            return &attribute;
    }
    return nullptr;
}

std::string trimmed(std::string_view text)
{
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && isSpace(text[begin]))
        ++begin;
    while (end > begin && isSpace(text[end - 1]))
        --end;
    return std::string(text.substr(begin, end - begin));
}

bool startsWithNoCase(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() && toLower(text.substr(0, prefix.size())) == prefix;
}

bool isRemoteUrl(std::string_view url)
{
    const std::string value = trimmed(url);
    return startsWithNoCase(value, "http:") || startsWithNoCase(value, "https:") || startsWithNoCase(value, "ftp:") ||
           startsWithNoCase(value, "file:") || startsWithNoCase(value, "//") || startsWithNoCase(value, "\\\\");
}

bool isScriptUrl(std::string_view url)
{
    std::string compact;
    for (char c : url) {
        if (!isSpace(c))
            compact += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return compact.rfind("javascript:", 0) == 0 || compact.rfind("vbscript:", 0) == 0;
}

// Elements dropped with everything inside them.
bool isDroppedWithContent(const std::string &name)
{
    static constexpr std::array<std::string_view, 9> kNames = {"script", "iframe", "object", "applet", "frameset",
                                                               "noembed", "noframes", "template", "title"};
    return std::find(kNames.begin(), kNames.end(), name) != kNames.end();
}

// Elements dropped on their own; their content (if any) stays.
bool isDroppedTag(const std::string &name)
{
    static constexpr std::array<std::string_view, 15> kNames = {"embed", "frame", "base",   "link",     "meta",
                                                                "html",  "head",  "body",   "param",    "xml",
                                                                "select", "option", "optgroup", "datalist", "portal"};
    return std::find(kNames.begin(), kNames.end(), name) != kNames.end();
}

// Elements without content, and those whose end tag browsers infer; neither is tracked
// on the open-element stack.
bool isUntrackedElement(const std::string &name)
{
    static constexpr std::array<std::string_view, 30> kNames = {
        "area", "br",    "col",   "hr",    "img",      "input",  "source", "track", "wbr",   "basefont",
        "bgsound", "keygen", "image", "spacer", "p",     "li",     "dt",     "dd",    "tr",    "td",
        "th",   "thead", "tbody", "tfoot", "colgroup", "rp",     "rt",     "caption", "option", "optgroup"};
    return std::find(kNames.begin(), kNames.end(), name) != kNames.end();
}

// Elements whose content browsers read as raw text or swallow: left open, they would eat
// the rest of our page. They become plain blocks.
bool isSwallowingElement(const std::string &name)
{
    return name == "textarea" || name == "xmp" || name == "plaintext" || name == "listing";
}

bool isUrlAttribute(const std::string &name)
{
    return name == "src" || name == "background" || name == "poster" || name == "lowsrc" || name == "dynsrc" ||
           name == "data";
}

// The position of the closing tag `</name`, case-insensitively; npos when missing.
std::size_t findClosing(std::string_view html, std::size_t from, const std::string &name)
{
    const std::string needle = "</" + name;
    std::size_t at = from;
    while (true) {
        at = html.find("</", at);
        if (at == std::string_view::npos)
            return at;
        if (toLower(html.substr(at, needle.size())) == needle) {
            const std::size_t after = at + needle.size();
            if (after >= html.size() || !isNameChar(html[after]) || html[after] == '/')
                return at;
        }
        at += 2;
    }
}

class Sanitizer
{
public:
    Sanitizer(std::string_view html, const SanitizeOptions &options) : m_html(html), m_options(options) {}

    SanitizedHtml run();

private:
    void handleTag(Tag &tag, std::size_t &pos);
    std::size_t closingOf(std::size_t from, const std::string &name);
    std::optional<std::string> rewriteUrl(const std::string &value, bool &remote) const;
    std::string rewriteCssUrls(std::string_view css) const;
    void writeTag(const Tag &tag);
    void emitTag(const Tag &tag);

    std::string_view m_html;
    const SanitizeOptions &m_options;
    SanitizedHtml m_result;
    bool m_headSeen = false;
    bool m_bodySeen = false;
    std::vector<std::string> m_openElements;
    // Where each element's next closing tag was found, so that thousands of unclosed
    // elements cost one scan, not one each.
    std::map<std::string, std::size_t> m_closings;
};

std::size_t Sanitizer::closingOf(std::size_t from, const std::string &name)
{
    auto it = m_closings.find(name);
    if (it != m_closings.end() && (it->second == std::string_view::npos || it->second >= from))
        return it->second;
    const std::size_t at = findClosing(m_html, from, name);
    m_closings[name] = at;
    return at;
}

// The URL to use instead of `value`; nullopt when the reference must go. A path that is
// not one of the message's own parts would otherwise make a renderer read a local file.
std::optional<std::string> Sanitizer::rewriteUrl(const std::string &value, bool &remote) const
{
    remote = false;
    const std::string url = trimmed(value);
    if (startsWithNoCase(url, "cid:")) {
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
    if (url.empty() || startsWithNoCase(url, "data:") || url.front() == '#')
        return url;
    if (m_options.resolveReference) {
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
    const std::string lower = toLower(css);
    while (true) {
        const std::size_t at = lower.find("url(", pos);
        if (at == std::string::npos)
            break;
        std::size_t begin = at + 4;
        while (begin < css.size() && (isSpace(css[begin]) || css[begin] == '"' || css[begin] == '\''))
            ++begin;
        std::size_t end = begin;
        while (end < css.size() && css[end] != ')' && css[end] != '"' && css[end] != '\'' && !isSpace(css[end]))
            ++end;
        out += css.substr(pos, begin - pos);
        bool remote = false;
        out += rewriteUrl(std::string(css.substr(begin, end - begin)), remote).value_or(std::string());
        pos = end;
    }
    out += css.substr(pos);
    // expression() and behaviour bindings are script in disguise.
    std::string lowered = toLower(out);
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

void Sanitizer::writeTag(const Tag &tag)
{
    std::string &out = m_result.body;
    out += '<';
    if (tag.closing)
        out += '/';
    out += tag.name;
    for (const Attribute &attribute : tag.attributes) {
        out += ' ';
        out += attribute.name;
        if (attribute.hasValue) {
            out += "=\"";
            for (char c : attribute.value) {
                if (c == '"')
                    out += "&quot;";
                else if (c == '<')
                    out += "&lt;";
                else
                    out += c;
            }
            out += '"';
        }
    }
    if (tag.selfClosing)
        out += " /";
    out += '>';
}

// Writes a tag and keeps the open-element stack, so that a stray end tag cannot close our
// page's elements and an element left open can be closed before our content follows.
void Sanitizer::emitTag(const Tag &tag)
{
    if (isUntrackedElement(tag.name) || tag.selfClosing) {
        writeTag(tag);
        return;
    }
    if (!tag.closing) {
        m_openElements.push_back(tag.name);
        writeTag(tag);
        return;
    }
    // As in browsers, an open table hides the elements outside it from end tags.
    auto open = m_openElements.rbegin();
    while (open != m_openElements.rend() && *open != tag.name && *open != "table")
        ++open;
    if (open == m_openElements.rend() || *open != tag.name)
        return;
    m_openElements.erase(std::next(open).base(), m_openElements.end());
    writeTag(tag);
}

void Sanitizer::handleTag(Tag &tag, std::size_t &pos)
{
    const std::string &name = tag.name;
    if (name == "style" && !tag.closing) {
        const std::size_t close = closingOf(pos, "style");
        const std::size_t end = close == std::string_view::npos ? m_html.size() : close;
        if (m_options.keepStyles) {
            m_result.styles += rewriteCssUrls(m_html.substr(pos, end - pos));
            m_result.styles += '\n';
        }
        pos = close == std::string_view::npos ? m_html.size() : m_html.find('>', close);
        pos = pos == std::string_view::npos ? m_html.size() : pos + 1;
        return;
    }
    if (isDroppedWithContent(name)) {
        if (!tag.closing && !tag.selfClosing) {
            const std::size_t close = closingOf(pos, name);
            if (close != std::string_view::npos) {
                const std::size_t end = m_html.find('>', close);
                pos = end == std::string_view::npos ? m_html.size() : end + 1;
            } else if (name == "script" || name == "title") {
                pos = m_html.size();
            }
        }
        return;
    }
    if (name == "body" && !tag.closing && !m_bodySeen) {
        // Only the first <body> counts: replies often nest whole documents, and their
        // inner <body> tags are dropped like any other.
        m_bodySeen = true;
        std::string style;
        for (const Attribute &attribute : tag.attributes) {
            if (attribute.name == "bgcolor")
                style += "background-color:" + attribute.value + ";";
            else if (attribute.name == "text")
                style += "color:" + attribute.value + ";";
            else if (attribute.name == "style")
                style += rewriteCssUrls(attribute.value) + ";";
            else if (attribute.name == "dir" || attribute.name == "lang" || attribute.name == "class")
                m_result.bodyAttributes += " " + attribute.name + "=\"" + escapeHtml(attribute.value) + "\"";
        }
        if (!style.empty())
            m_result.bodyAttributes += " style=\"" + escapeHtml(style) + "\"";
        return;
    }
    if (name == "head" && !tag.closing && !m_headSeen) {
        m_headSeen = true;
        // Nothing in <head> but its style sheets is shown.
        const std::size_t close = closingOf(pos, "head");
        const std::size_t bodyAt = toLower(m_html.substr(pos)).find("<body");
        std::size_t end = close == std::string_view::npos ? m_html.size() : close;
        if (bodyAt != std::string::npos)
            end = std::min(end, pos + bodyAt);
        const std::string_view head = m_html.substr(pos, end - pos);
        Sanitizer inner(head, m_options);
        inner.m_headSeen = true;
        const SanitizedHtml headResult = inner.run();
        m_result.styles += headResult.styles;
        pos = end;
        return;
    }
    if (isDroppedTag(name))
        return;
    if (name == "form" || name == "isindex") {
        tag.name = "div";
        tag.attributes.clear();
        emitTag(tag);
        return;
    }
    if (isSwallowingElement(name)) {
        tag.name = "pre";
        tag.attributes.clear();
        emitTag(tag);
        return;
    }

    if (!tag.closing) {
        bool remoteImage = false;
        std::vector<Attribute> kept;
        for (Attribute &attribute : tag.attributes) {
            if (attribute.name.rfind("on", 0) == 0 || attribute.name == "formaction" || attribute.name == "srcdoc")
                continue;
            if (attribute.name == "srcset") {
                // One resolution is enough; srcset would only offer remote alternatives.
                continue;
            }
            if (attribute.name == "style") {
                attribute.value = rewriteCssUrls(attribute.value);
                if (m_options.rewriteFontNames)
                    attribute.value = m_options.rewriteFontNames(std::move(attribute.value));
            } else if (attribute.name == "face" && m_options.rewriteFontNames) {
                attribute.value = m_options.rewriteFontNames(std::move(attribute.value));
            } else if (attribute.name == "href" || attribute.name == "action" || attribute.name == "xlink:href") {
                if (isScriptUrl(attribute.value))
                    continue;
                if (name != "a" && name != "area" && isRemoteUrl(attribute.value))
                    continue;
            } else if (isUrlAttribute(attribute.name)) {
                if (isScriptUrl(attribute.value))
                    continue;
                bool remote = false;
                std::optional<std::string> url = rewriteUrl(attribute.value, remote);
                if (!url)
                    continue;
                attribute.value = std::move(*url);
                if (remote) {
                    if ((name == "img" || name == "image" || name == "input") && attribute.name == "src")
                        remoteImage = true;
                    continue;
                }
            }
            kept.push_back(std::move(attribute));
        }
        tag.attributes = std::move(kept);
        if (remoteImage && m_options.remoteImagePlaceholder) {
            const Attribute *alt = findAttribute(tag, "alt");
            m_result.body += m_options.remoteImagePlaceholder(alt ? escapeHtml(alt->value) : std::string());
            return;
        }
    }
    emitTag(tag);
}

SanitizedHtml Sanitizer::run()
{
    std::size_t pos = 0;
    while (pos < m_html.size()) {
        const std::size_t lt = m_html.find('<', pos);
        if (lt == std::string_view::npos) {
            m_result.body += m_html.substr(pos);
            break;
        }
        m_result.body += m_html.substr(pos, lt - pos);
        pos = lt;
        if (m_html.substr(pos, 4) == "<!--") {
            const std::size_t end = m_html.find("-->", pos + 4);
            pos = end == std::string_view::npos ? m_html.size() : end + 3;
            continue;
        }
        if (pos + 1 < m_html.size() && (m_html[pos + 1] == '!' || m_html[pos + 1] == '?')) {
            // <!DOCTYPE>, <![CDATA[…]]>, <?xml …?>: none of them is content.
            const std::size_t end = m_html.find('>', pos);
            pos = end == std::string_view::npos ? m_html.size() : end + 1;
            continue;
        }
        Tag tag;
        const std::optional<std::size_t> end = parseTag(m_html, pos, tag);
        if (!end) {
            m_result.body += "&lt;";
            ++pos;
            continue;
        }
        pos = *end;
        handleTag(tag, pos);
    }
    for (auto open = m_openElements.rbegin(); open != m_openElements.rend(); ++open)
        m_result.body += "</" + *open + ">";
    return std::move(m_result);
}

} // namespace

SanitizedHtml sanitizeHtml(std::string_view html, const SanitizeOptions &options)
{
    return Sanitizer(html, options).run();
}

std::string escapeHtml(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        default: out += c;
        }
    }
    return out;
}

} // namespace tessaly
