#include "mailconverter/mime/AlternativeContent.h"

#include "support/Utf8.h"

#include <array>
#include <string>

namespace tessaly {
namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

// Whether the tag at `at` ("<name" in lower case) opens the element `name`.
bool opensElement(const std::string &lower, std::size_t at, std::string_view name)
{
    const std::size_t after = at + 1 + name.size();
    return lower.compare(at + 1, name.size(), name) == 0 && after < lower.size() &&
           (lower[after] == '>' || lower[after] == '/' || isBlank(lower[after]));
}

/// `drawnCounts`: whether an image or embedded object counts as something shown.
bool htmlShowsSomething(std::string_view html, bool drawnCounts)
{
    static constexpr std::array<std::string_view, 4> kHidden = {"head", "style", "script", "title"};
    static constexpr std::array<std::string_view, 7> kDrawn = {"img",   "svg",    "object", "embed",
                                                               "video", "iframe", "canvas"};
    const std::string lower = asciiLowercase(html);
    // A UTF-8 no-break space and its entities are as blank as a space.
    static constexpr std::array<std::string_view, 4> kNoBreakSpaces = {"&nbsp;", "&#160;", "&#xa0;", "\xC2\xA0"};
    std::size_t at = 0;
    while (at < lower.size()) {
        if (lower[at] == '<') {
            for (std::string_view name : kDrawn) {
                if (drawnCounts && opensElement(lower, at, name))
                    return true;
            }
            const bool comment = lower.compare(at, 4, "<!--") == 0;
            std::size_t end = comment ? lower.find("-->", at + 4) : lower.find('>', at);
            if (comment && end != std::string::npos)
                end += 2; // the comment's own '>'
            for (std::string_view name : kHidden) {
                if (opensElement(lower, at, name)) {
                    const std::size_t close = lower.find("</" + std::string(name), at);
                    end = close == std::string::npos ? close : lower.find('>', close);
                    break;
                }
            }
            if (end == std::string::npos)
                return true;
            at = end + 1;
            continue;
        }
        bool skipped = false;
        for (std::string_view space : kNoBreakSpaces) {
            if (lower.compare(at, space.size(), space) == 0) {
                at += space.size();
                skipped = true;
                break;
            }
        }
        if (skipped)
            continue;
        if (!isBlank(lower[at]))
            return true;
        ++at;
    }
    return false;
}

} // namespace

bool hasDisplayableContent(std::string_view text, bool isHtml)
{
    if (isHtml)
        return htmlShowsSomething(text, true);
    return text.find_first_not_of(" \t\r\n\f") != std::string_view::npos;
}

bool htmlHasText(std::string_view html)
{
    return htmlShowsSomething(html, false);
}

} // namespace tessaly
