#include "mailconverter/html/PageRuleFilter.h"

#include "support/Utf8.h"

#include <cctype>

namespace tessaly {
namespace {

bool isNameCharacter(char c)
{
    const auto byte = static_cast<unsigned char>(c);
    return std::isalnum(byte) || c == '-' || c == '_' || c == '\\' || byte >= 0x80;
}

/// The end of the string or comment starting at `pos`, or `pos` when none starts there.
/// A string ends at its quote or before an unescaped line break, as CSS tokenises it.
std::size_t skipStringOrComment(std::string_view css, std::size_t pos)
{
    const char c = css[pos];
    if (c == '/' && pos + 1 < css.size() && css[pos + 1] == '*') {
        const std::size_t end = css.find("*/", pos + 2);
        return end == std::string_view::npos ? css.size() : end + 2;
    }
    if (c != '"' && c != '\'')
        return pos;
    std::size_t i = pos + 1;
    while (i < css.size()) {
        if (css[i] == c)
            return i + 1;
        if (css[i] == '\n' || css[i] == '\r' || css[i] == '\f')
            return i;
        i += css[i] == '\\' ? 2 : 1;
    }
    return css.size();
}

bool isDroppedRule(std::string_view name)
{
    // An escape could spell any of the names; such a rule is dropped too.
    return name.find('\\') != std::string_view::npos || equalsIgnoringAsciiCase(name, "page") ||
           equalsIgnoringAsciiCase(name, "import") || equalsIgnoringAsciiCase(name, "font-face");
}

/// The end of the at-rule whose prelude starts at `pos`: after its ";" or its block.
std::size_t skipAtRule(std::string_view css, std::size_t pos)
{
    int depth = 0; // of ( [ in the prelude and of { } once in the block
    bool inBlock = false;
    while (pos < css.size()) {
        const std::size_t skipped = skipStringOrComment(css, pos);
        if (skipped != pos) {
            pos = skipped;
            continue;
        }
        const char c = css[pos++];
        if (c == '\\') {
            ++pos;
        } else if (c == '(' || c == '[') {
            ++depth;
        } else if ((c == ')' || c == ']') && depth > 0) {
            --depth;
        } else if (c == ';' && depth == 0 && !inBlock) {
            return pos;
        } else if (c == '{') {
            if (!inBlock) {
                inBlock = true;
                depth = 0;
            }
            ++depth;
        } else if (c == '}' && inBlock && --depth == 0) {
            return pos;
        } else if (c == '}' && !inBlock) {
            // The enclosing block ends: so does this rule, and the "}" stays.
            return pos - 1;
        }
    }
    return css.size();
}

} // namespace

std::string withoutPageImportAndFontRules(std::string_view css)
{
    std::string out;
    out.reserve(css.size());
    std::size_t pos = 0;
    while (pos < css.size()) {
        const std::size_t skipped = skipStringOrComment(css, pos);
        if (skipped != pos) {
            out.append(css.substr(pos, skipped - pos));
            pos = skipped;
            continue;
        }
        const char c = css[pos];
        if (c == '\\') {
            out.append(css.substr(pos, 2));
            pos += 2;
            continue;
        }
        if (c != '@') {
            out += c;
            ++pos;
            continue;
        }
        std::size_t nameEnd = pos + 1;
        while (nameEnd < css.size() && isNameCharacter(css[nameEnd]))
            nameEnd += css[nameEnd] == '\\' ? 2 : 1;
        nameEnd = std::min(nameEnd, css.size());
        if (!isDroppedRule(css.substr(pos + 1, nameEnd - pos - 1))) {
            out.append(css.substr(pos, nameEnd - pos));
            pos = nameEnd;
            continue;
        }
        pos = skipAtRule(css, nameEnd);
    }
    return out;
}

} // namespace tessaly
