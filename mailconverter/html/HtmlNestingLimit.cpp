#include "mailconverter/html/HtmlNestingLimit.h"

#include "support/Utf8.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <unordered_map>

namespace tessaly {

namespace {

bool isOneOf(std::string_view name, const auto &names)
{
    return std::find(names.begin(), names.end(), name) != names.end();
}

// Elements that hold nothing, or whose end tag the parser supplies when the next one starts:
// neither makes the nesting deeper.
bool neverNests(std::string_view name)
{
    static constexpr std::array<std::string_view, 35> kNames = {
        "area",  "base",  "br",     "col",   "embed",    "hr",       "img",      "input", "link",
        "meta",  "param", "source", "track", "wbr",      "basefont", "bgsound",  "frame", "keygen",
        "image", "p",     "li",     "dt",    "dd",       "option",   "optgroup", "tr",    "td",
        "th",    "tbody", "thead",  "tfoot", "colgroup", "caption",  "html",     "body"};
    return isOneOf(name, kNames);
}

// Elements whose content is text up to their end tag.
bool holdsRawText(std::string_view name)
{
    static constexpr std::array<std::string_view, 9> kNames = {"script", "style",   "textarea", "title",    "xmp",
                                                               "iframe", "noembed", "noframes", "plaintext"};
    return isOneOf(name, kNames);
}

// HTML elements that end SVG and MathML content when they start inside it.
bool leavesForeignContent(std::string_view name)
{
    static constexpr std::array<std::string_view, 45> kNames = {
        "b",       "big",  "blockquote", "body",  "br", "center", "code", "dd",   "div", "dl",    "dt",   "em",
        "embed",   "h1",   "h2",         "h3",    "h4", "h5",     "h6",   "head", "hr",  "i",     "img",  "li",
        "listing", "menu", "meta",       "nobr",  "ol", "p",      "pre",  "ruby", "s",   "small", "span", "strong",
        "strike",  "sub",  "sup",        "table", "tt", "u",      "ul",   "var",  "font"};
    return isOneOf(name, kNames);
}

bool isNameChar(char c)
{
    return !std::isspace(static_cast<unsigned char>(c)) && c != '/' && c != '>';
}

// The index after the '>' that ends the tag starting at `at`, with quoted attribute values
// skipped; the end of `html` when there is none.
std::size_t tagEnd(std::string_view html, std::size_t at)
{
    char quote = 0;
    for (std::size_t i = at + 1; i < html.size(); ++i) {
        const char c = html[i];
        if (quote) {
            quote = c == quote ? 0 : quote;
        } else if (c == '>') {
            return i + 1;
        } else if ((c == '"' || c == '\'') && i > 0 && html[i - 1] == '=') {
            quote = c;
        }
    }
    return html.size();
}

} // namespace

std::string limitHtmlNesting(std::string_view html, int maxNesting)
{
    const std::string lower = asciiLowercase(html);
    std::string out;
    out.reserve(html.size());
    std::unordered_map<std::string, int> openByName;
    int depth = 0;
    int foreignDepth = 0; // inside <svg> or <math>, "/>" closes an element
    std::size_t pos = 0;
    while (pos < html.size()) {
        const std::size_t lt = html.find('<', pos);
        if (lt == std::string_view::npos || lt + 1 >= html.size()) {
            out += html.substr(pos);
            break;
        }
        out += html.substr(pos, lt - pos);
        pos = lt;
        if (html.substr(lt, 4) == "<!--") {
            const std::size_t close = html.find("-->", lt + 4);
            const std::size_t end = close == std::string_view::npos ? html.size() : close + 3;
            out += html.substr(lt, end - lt);
            pos = end;
            continue;
        }
        const bool isEndTag = html[lt + 1] == '/';
        const std::size_t nameAt = lt + (isEndTag ? 2 : 1);
        if (nameAt >= html.size() || !std::isalpha(static_cast<unsigned char>(html[nameAt]))) {
            out += '<';
            ++pos;
            continue;
        }
        std::size_t nameEnd = nameAt;
        while (nameEnd < html.size() && isNameChar(html[nameEnd]))
            ++nameEnd;
        const std::string name = lower.substr(nameAt, nameEnd - nameAt);
        std::size_t end = tagEnd(html, lt);
        if (isEndTag) {
            if (auto open = openByName.find(name); open != openByName.end() && open->second > 0) {
                --open->second;
                --depth;
                foreignDepth -= (name == "svg" || name == "math") && foreignDepth > 0 ? 1 : 0;
            }
            out += html.substr(lt, end - lt);
            pos = end;
            continue;
        }
        if (foreignDepth > 0 && leavesForeignContent(name))
            foreignDepth = 0;
        const bool closesItself = foreignDepth > 0 && end >= 2 && html[end - 2] == '/';
        if (holdsRawText(name)) {
            const std::size_t close = lower.find("</" + name, end);
            end = close == std::string::npos ? html.size() : close;
        } else if (!neverNests(name) && !closesItself) {
            if (depth >= maxNesting) {
                pos = end; // the element's content joins its parent
                continue;
            }
            ++depth;
            ++openByName[name];
            foreignDepth += name == "svg" || name == "math" ? 1 : 0;
        }
        out += html.substr(lt, end - lt);
        pos = end;
    }
    return out;
}

} // namespace tessaly
