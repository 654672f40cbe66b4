#include "mailconverter/html/PlainTextHtml.h"

#include "mailconverter/html/HtmlEscaping.h"
#include "mailconverter/html/ScriptFonts.h"
#include "support/Utf8.h"

#include <algorithm>
#include <array>
#include <vector>

namespace tessaly {

namespace {

constexpr int kTabColumns = 8;

std::string blockStart(int depth, bool simpleCss)
{
    if (!simpleCss) {
        // The page's own style sheet styles these by class; see HtmlComposer.
        return "<tessaly-text class=\"tessaly-q" + std::to_string(std::min(depth, kMaxStyledDepth)) + "\">";
    }
    std::string style = "margin:0;";
    if (depth > 0) {
        const std::string colour(kQuoteColours[static_cast<std::size_t>(depth - 1) % std::size(kQuoteColours)]);
        style += "color:" + colour +
                 ";margin-left:" + std::to_string(kQuoteIndentPt * std::min(depth, kMaxStyledDepth)) + "pt;";
    }
    return "<div style=\"" + style + "\">";
}

std::string blockEnd(bool simpleCss)
{
    return simpleCss ? "</div>" : "</tessaly-text>";
}

/// How many monospace columns `c` takes: two for East Asian wide characters, none for
/// combining marks and joiners.
int columnsOf(char32_t c)
{
    if ((c >= 0x0300 && c <= 0x036F) || (c >= 0x0591 && c <= 0x05C7) || (c >= 0x0610 && c <= 0x061A) ||
        (c >= 0x064B && c <= 0x065F) || c == 0x0670 || (c >= 0x06D6 && c <= 0x06ED) || (c >= 0x200B && c <= 0x200F) ||
        (c >= 0x20D0 && c <= 0x20FF) || (c >= 0xFE00 && c <= 0xFE0F) || (c >= 0x1F3FB && c <= 0x1F3FF))
        return 0;
    if ((c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) || (c >= 0xAC00 && c <= 0xD7A3) ||
        (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
        (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x1F300 && c <= 0x1FAFF) || (c >= 0x20000 && c <= 0x3FFFD))
        return 2;
    return 1;
}

/// `line` with tabs expanded to the next multiple of eight columns. A line longer than
/// kPrewrapAfterColumns is broken into rows of at most kPrewrapColumns (after a space where
/// one is near the end of the row), so that the page lays it out in linear time; shorter
/// lines are left for the page to wrap at its edge.
std::vector<std::string> displayRows(std::string_view line)
{
    std::string expanded;
    expanded.reserve(line.size());
    std::size_t columns = 0;
    bool hasWide = false;
    for (std::size_t pos = 0; pos < line.size();) {
        const std::size_t start = pos;
        const char32_t c = nextCodePoint(line, pos);
        if (c == '\t') {
            const std::size_t spaces = kTabColumns - columns % kTabColumns;
            expanded.append(spaces, ' ');
            columns += spaces;
            continue;
        }
        expanded.append(line.substr(start, pos - start));
        const int width = columnsOf(c);
        columns += static_cast<std::size_t>(width);
        hasWide = hasWide || width != 1;
    }
    if (columns <= kPrewrapAfterColumns)
        return {expanded};

    std::vector<std::string> rows;
    std::size_t rowStart = 0;
    std::size_t rowColumns = 0;
    std::size_t breakAfterSpace = std::string::npos; // byte offset just after the row's last space
    std::size_t columnsAtBreak = 0;
    const std::string_view text = expanded;
    for (std::size_t pos = 0; pos < text.size();) {
        const std::size_t start = pos;
        const char32_t c = nextCodePoint(text, pos);
        const auto width = static_cast<std::size_t>(hasWide ? columnsOf(c) : 1);
        if (rowColumns + width > kPrewrapColumns && width > 0) {
            const bool spaceNearEnd = breakAfterSpace != std::string::npos && columnsAtBreak * 4 >= kPrewrapColumns * 3;
            const std::size_t cut = spaceNearEnd ? breakAfterSpace : start;
            rows.emplace_back(text.substr(rowStart, cut - rowStart));
            rowColumns -= spaceNearEnd ? columnsAtBreak : rowColumns;
            rowStart = cut;
            breakAfterSpace = std::string::npos;
        }
        rowColumns += width;
        if (c == ' ') {
            breakAfterSpace = pos;
            columnsAtBreak = rowColumns;
        }
    }
    rows.emplace_back(text.substr(rowStart));
    return rows;
}

/// Appends the line's rows, escaped, one per line.
void appendRows(std::string &out, std::string_view line)
{
    const std::vector<std::string> rows = displayRows(line);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (i > 0)
            out += '\n';
        out += escapeHtml(rows[i]);
    }
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
        const bool isNeutral = (c >= 0x2000 && c <= 0x2BFF) || (c >= 0x3000 && c <= 0x303F) || c >= 0x1F000 ||
                               c == 0xA0 || (c >= 0xA1 && c <= 0xBF);
        if (!isNeutral)
            return false;
    }
    return false;
}

/// Whether the line holds a strongly directional character at all; lines without one (blank
/// lines, rules, numbers) keep the direction of the lines before them.
bool hasStrongDirection(std::string_view line)
{
    for (std::size_t pos = 0; pos < line.size();) {
        const char32_t c = nextCodePoint(line, pos);
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= 0xC0 && c != 0xD7 && c != 0xF7 && c < 0x2000) ||
            (c >= 0x3040 && c <= 0xD7FF) || (c >= 0xF900 && c < 0xFFF0) || c >= 0x20000)
            return true;
    }
    return false;
}

/// The lines of one quote block in inline-styled markup. Runs of lines of one direction
/// share a <pre>, whose every line becomes a paragraph of its own; a right-to-left run gets
/// its own <pre dir="rtl"> (in one paragraph a Hebrew first line would turn every later line
/// right to left).
class SimpleBlockWriter
{
public:
    SimpleBlockWriter(std::string &out, CjkLanguage cjk)
        : m_out(out), m_style("style=\"margin:0;white-space:pre-wrap;font-family:" +
                              escapeHtml(cssFontFamilies(FontRole::Monospace, cjk)) + ";\"")
    {
    }

    void addLine(std::string_view line)
    {
        const bool rightToLeft = hasStrongDirection(line) ? startsRightToLeft(line) : m_rightToLeft;
        if (!m_open || rightToLeft != m_rightToLeft) {
            close();
            m_out += rightToLeft ? "<pre dir=\"rtl\" align=\"right\" " + m_style + ">" : "<pre " + m_style + ">";
            // HTML drops a line feed right after <pre>; a leading blank line needs one more.
            if (line.empty())
                m_out += '\n';
            m_open = true;
            m_rightToLeft = rightToLeft;
        } else {
            m_out += '\n';
        }
        appendRows(m_out, line);
    }

    void close()
    {
        if (m_open)
            m_out += "</pre>";
        m_open = false;
    }

private:
    std::string &m_out;
    const std::string m_style;
    bool m_open = false;
    bool m_rightToLeft = false;
};

} // namespace

std::string plainTextStyles(const std::string &scope, CjkLanguage cjk)
{
    std::string css = scope +
                      " tessaly-text{display:block!important;white-space:pre-wrap!important;margin:0!important;"
                      "overflow-wrap:anywhere!important;unicode-bidi:plaintext!important;text-align:start!important;"
                      "font-family:" +
                      cssFontFamilies(FontRole::Monospace, cjk) +
                      "!important;font-size:9.5pt!important;color:#1a1a1a!important;}\n";
    // One bar per level, as mail clients draw nested quotes; the bars of adjacent blocks line up.
    for (int depth = 1; depth <= kMaxStyledDepth; ++depth) {
        std::string bars;
        std::string positions;
        for (int level = 1; level <= depth; ++level) {
            const std::string colour(kQuoteColours[static_cast<std::size_t>(level - 1) % std::size(kQuoteColours)]);
            bars += std::string(level > 1 ? "," : "") + "linear-gradient(" + colour + "," + colour + ")";
            positions += std::string(level > 1 ? "," : "") + std::to_string(kQuoteIndentPt * (level - 1)) + "pt 0";
        }
        const std::string colour(kQuoteColours[static_cast<std::size_t>(depth - 1) % std::size(kQuoteColours)]);
        css += scope + " tessaly-text.tessaly-q" + std::to_string(depth) + "{color:" + colour +
               "!important;background:none!important;"
               "background-image:" +
               bars +
               "!important;background-size:2px 100%!important;background-repeat:no-repeat!important;"
               "background-position:" +
               positions + "!important;padding-left:" + std::to_string(kQuoteIndentPt * depth) + "pt!important;}\n";
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

std::string plainTextToHtml(std::string_view text, bool simpleCss, CjkLanguage cjk)
{
    while (!text.empty() && text.back() == '\n')
        text.remove_suffix(1);
    std::string out;
    out.reserve(text.size() + text.size() / 4 + 64);
    SimpleBlockWriter simpleBlock(out, cjk);
    int currentDepth = -1;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        const std::string_view line = text.substr(start, end - start);
        const int depth = quoteDepth(line);
        if (depth != currentDepth) {
            if (currentDepth >= 0) {
                simpleBlock.close();
                out += blockEnd(simpleCss);
            }
            out += blockStart(depth, simpleCss);
            currentDepth = depth;
        } else if (!simpleCss) {
            out += '\n';
        }
        if (simpleCss) {
            simpleBlock.addLine(line);
        } else {
            appendRows(out, line);
        }
        if (end == text.size())
            break;
        start = end + 1;
    }
    simpleBlock.close();
    if (currentDepth >= 0)
        out += blockEnd(simpleCss);
    return out;
}

} // namespace tessaly
