// Plain-text bodies as HTML: escaped, wrapping, with quoted lines set apart by depth.
#include "PlainTextHtml.h"

#include "HtmlSanitizer.h"
#include "ScriptFonts.h"
#include "TextHelpers.h"

#include <algorithm>
#include <array>

namespace tessaly {

namespace {

std::string blockStart(int depth, bool simpleCss)
{
    if (!simpleCss) {
        // The page's own style sheet styles these by class; see HtmlComposer.
        return "<tessaly-text class=\"tessaly-q" + std::to_string(std::min(depth, kMaxStyledDepth)) + "\">";
    }
    std::string style = "margin:0;";
    if (depth > 0) {
        const std::string colour(kQuoteColours[static_cast<std::size_t>(depth - 1) % std::size(kQuoteColours)]);
        style += "color:" + colour + ";margin-left:" + std::to_string(kQuoteIndentPt * std::min(depth, kMaxStyledDepth)) + "pt;";
    }
    return "<div style=\"" + style + "\">";
}

/// Whether the line's first strongly directional character is Hebrew or Arabic script, which
/// makes the whole line run right to left.
bool startsRightToLeft(std::string_view line)
{
    for (std::size_t pos = 0; pos < line.size();) {
        const char32_t c = nextCodePoint(line, pos);
        if (c < 0x80) {
            if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))
                return false;
            continue;
        }
        if ((c >= 0x0590 && c <= 0x08FF) || (c >= 0xFB1D && c <= 0xFDFF) || (c >= 0xFE70 && c <= 0xFEFF))
            return true;
        const bool isNeutral = (c >= 0x2000 && c <= 0x2BFF) || (c >= 0x3000 && c <= 0x303F) || c >= 0x1F000
                               || c == 0xA0 || (c >= 0xA1 && c <= 0xBF);
        if (!isNeutral)
            return false;
    }
    return false;
}

/// One line of a body for the plain-text renderer: a paragraph of its own, so that each line
/// takes the direction of its own script (in one paragraph a Hebrew first line would turn
/// every later line right to left).
std::string simpleLine(std::string_view line)
{
    static const std::string style = "style=\"margin:0;white-space:pre-wrap;font-family:" +
                                     escapeHtml(cssFontFamilies(FontRole::Monospace, FontEngine::QtPdfWriter)) + ";\"";
    std::string out = startsRightToLeft(line) ? std::string("<p dir=\"rtl\" align=\"right\" ") + style + ">"
                                              : std::string("<p ") + style + ">";
    out += escapeHtml(line);
    out += "</p>";
    return out;
}

std::string blockEnd(bool simpleCss)
{
    return simpleCss ? "</div>" : "</tessaly-text>";
}

} // namespace

std::string plainTextStyles(const std::string &scope)
{
    std::string css = scope + " tessaly-text{display:block!important;white-space:pre-wrap!important;margin:0!important;"
                              "overflow-wrap:anywhere!important;unicode-bidi:plaintext!important;text-align:start!important;"
                              "font-family:" + cssFontFamilies(FontRole::Monospace, FontEngine::Chromium) +
                              "!important;font-size:9.5pt!important;color:#1a1a1a!important;}\n";
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
        } else if (!simpleCss) {
            out += '\n';
        }
        out += simpleCss ? simpleLine(line) : escapeHtml(line);
        if (end == text.size())
            break;
        start = end + 1;
    }
    if (currentDepth >= 0)
        out += blockEnd(simpleCss);
    return out;
}

} // namespace tessaly
