// Plain-text bodies as HTML: escaped, wrapping, with quoted lines set apart by depth.
#include "PlainTextHtml.h"

#include "HtmlSanitizer.h"

#include <algorithm>
#include <array>

namespace tessaly {

namespace {

std::string blockStart(int depth, bool simpleCss)
{
    if (!simpleCss) {
        // The page's own style sheet styles these by class; see HtmlComposer.
        return "<tessaly-text class=\"tessaly-q" + std::to_string(std::min(depth, kMaxStyledDepth)) + "\" dir=\"auto\">";
    }
    std::string style = "white-space:pre-wrap;margin:0;font-family:Liberation Mono, Noto Sans Mono CJK JP, Symbola;";
    if (depth > 0) {
        const std::string colour(kQuoteColours[static_cast<std::size_t>(depth - 1) % std::size(kQuoteColours)]);
        style += "color:" + colour + ";margin-left:" + std::to_string(kQuoteIndentPt * std::min(depth, kMaxStyledDepth)) + "pt;";
    }
    return "<div style=\"" + style + "\">";
}

std::string blockEnd(bool simpleCss)
{
    return simpleCss ? "</div>" : "</tessaly-text>";
}

} // namespace

std::string plainTextStyles(const std::string &scope)
{
    std::string css = scope + " tessaly-text{display:block!important;white-space:pre-wrap!important;margin:0!important;"
                              "overflow-wrap:anywhere!important;unicode-bidi:isolate!important;"
                              "font-family:\"Liberation Mono\",\"Noto Sans Mono CJK JP\",\"Tessaly Emoji\","
                              "monospace!important;font-size:9.5pt!important;color:#1a1a1a!important;}\n";
    for (int depth = 1; depth <= kMaxStyledDepth; ++depth) {
        const std::string colour(kQuoteColours[static_cast<std::size_t>(depth - 1) % std::size(kQuoteColours)]);
        css += scope + " tessaly-text.tessaly-q" + std::to_string(depth) + "{color:" + colour +
               "!important;border-left:2px solid " + colour + "!important;padding-left:" + std::to_string(kQuoteIndentPt) +
               "pt!important;margin-left:" + std::to_string(kQuoteIndentPt * (depth - 1)) + "pt!important;}\n";
    }
    return css;
}

int quoteDepth(std::string_view line)
{
    int depth = 0;
    for (char c : line) {
        if (c == '>')
            ++depth;
        else if (c != ' ' || depth == 0)
            break;
    }
    return depth;
}

std::string plainTextToHtml(std::string_view text, bool simpleCss)
{
    while (!text.empty() && text.back() == '\n')
        text.remove_suffix(1);
    std::string out;
    out.reserve(text.size() + text.size() / 4 + 64);
    int currentDepth = -1;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        const std::string_view line = text.substr(start, end - start);
        const int depth = quoteDepth(line);
        if (depth != currentDepth) {
            if (currentDepth >= 0)
                out += blockEnd(simpleCss);
            out += blockStart(depth, simpleCss);
            currentDepth = depth;
        } else {
            out += '\n';
        }
        out += escapeHtml(line);
        if (end == text.size())
            break;
        start = end + 1;
    }
    if (currentDepth >= 0)
        out += blockEnd(simpleCss);
    return out;
}

} // namespace tessaly
