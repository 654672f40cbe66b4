#include "mailconverter/html/HtmlEscaping.h"

namespace tessaly {
namespace {

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

} // namespace

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

} // namespace tessaly
