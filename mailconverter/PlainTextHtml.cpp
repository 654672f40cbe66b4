// Plain-text bodies as HTML: escaped, wrapping, with quoted lines set apart by depth.
#include "PlainTextHtml.h"

#include "HtmlSanitizer.h"

#include <algorithm>
#include <array>

namespace tessaly {

namespace {

constexpr std::array<std::string_view, 4> kQuoteColours = {"#1f5fa8", "#2e7d32", "#8e4a00", "#6a1b9a"};
constexpr int kQuoteIndentPt = 6;

std::string blockStart(int depth, bool simpleCss)
{
    std::string style = "white-space:pre-wrap;margin:0;";
    if (!simpleCss)
        style += "overflow-wrap:anywhere;word-break:break-word;";
    if (depth > 0) {
        const std::string colour(kQuoteColours[static_cast<std::size_t>(depth - 1) % kQuoteColours.size()]);
        style += "color:" + colour + ";";
        if (simpleCss) {
            style += "margin-left:" + std::to_string(kQuoteIndentPt * std::min(depth, 8)) + "pt;";
        } else {
            style += "border-left:2px solid " + colour + ";padding-left:" + std::to_string(kQuoteIndentPt) +
                     "pt;margin-left:" + std::to_string(kQuoteIndentPt * (std::min(depth, 8) - 1)) + "pt;";
        }
    }
    return "<div class=\"tessaly-text\" dir=\"auto\" style=\"" + style + "\">";
}

} // namespace

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
                out += "</div>";
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
        out += "</div>";
    return out;
}

} // namespace tessaly
