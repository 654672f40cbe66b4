#include "mailconverter/html/DisplayableText.h"

#include "support/Utf8.h"

#include <array>
#include <string_view>

namespace tessaly {
namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

/// Where the element that opens at `tag` ("<style", lower case) ends; npos when it does not.
std::size_t elementEnd(std::string_view lower, std::size_t tag, std::string_view name)
{
    const std::string closing = "</" + std::string(name);
    const std::size_t close = lower.find(closing, tag);
    return close == std::string_view::npos ? close : lower.find('>', close);
}

bool htmlHasText(std::string_view html)
{
    static constexpr std::array<std::string_view, 4> kHidden = {"head", "style", "script", "title"};
    const std::string lower = asciiLowercase(html);
    std::size_t at = 0;
    while (at < lower.size()) {
        const char c = lower[at];
        if (c == '<') {
            std::size_t end = lower.compare(at, 4, "<!--") == 0 ? lower.find("-->", at) : lower.find('>', at);
            for (std::string_view name : kHidden) {
                const bool opens = lower.compare(at + 1, name.size(), name) == 0 &&
                                   at + 1 + name.size() < lower.size() &&
                                   (lower[at + 1 + name.size()] == '>' || isBlank(lower[at + 1 + name.size()]));
                if (opens) {
                    end = elementEnd(lower, at, name);
                    break;
                }
            }
            // Left open: whether what follows shows is anyone's guess.
            if (end == std::string::npos)
                return true;
            at = end + 1;
            continue;
        }
        if (c == '&' && (lower.compare(at, 6, "&nbsp;") == 0 || lower.compare(at, 6, "&#160;") == 0)) {
            at += 6;
            continue;
        }
        if (!isBlank(c))
            return true;
        ++at;
    }
    return false;
}

} // namespace

bool hasDisplayableText(const MailMessage &message)
{
    for (const BodyPart &body : message.bodies) {
        if ((body.kind == BodyPart::Kind::PlainText || body.kind == BodyPart::Kind::Invitation) &&
            body.text.find_first_not_of(" \t\n\r") != std::string::npos)
            return true;
        if (body.kind == BodyPart::Kind::Html && htmlHasText(body.text))
            return true;
    }
    for (const MailMessage &inner : message.forwarded) {
        if (hasDisplayableText(inner))
            return true;
    }
    return false;
}

} // namespace tessaly
