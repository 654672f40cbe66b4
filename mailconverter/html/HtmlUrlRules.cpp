#include "mailconverter/html/HtmlUrlRules.h"

#include "support/Utf8.h"

#include <cctype>

namespace tessaly {
namespace {

// The URL's scheme in lower case, or "" for a relative URL.
std::string schemeOf(std::string_view url)
{
    if (url.empty() || !std::isalpha(static_cast<unsigned char>(url.front())))
        return {};
    for (std::size_t i = 1; i < url.size(); ++i) {
        const char c = url[i];
        if (c == ':')
            return asciiLowercase(url.substr(0, i));
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.')
            return {};
    }
    return {};
}

} // namespace

std::string normalisedUrl(std::string_view value)
{
    while (!value.empty() && static_cast<unsigned char>(value.front()) <= 0x20)
        value.remove_prefix(1);
    while (!value.empty() && static_cast<unsigned char>(value.back()) <= 0x20)
        value.remove_suffix(1);
    std::string url;
    url.reserve(value.size());
    for (char c : value) {
        if (c != '\t' && c != '\n' && c != '\r')
            url += c;
    }
    return url;
}

bool isRemoteUrl(std::string_view url)
{
    const std::string scheme = schemeOf(url);
    return scheme == "http" || scheme == "https" || scheme == "ftp" || scheme == "file" || url.starts_with("//") ||
           url.starts_with("\\\\");
}

bool isFollowableLink(std::string_view url)
{
    const std::string scheme = schemeOf(url);
    return scheme == "http" || scheme == "https" || scheme == "mailto" || url.starts_with('#');
}

std::optional<ResourceUrl> resourceUrl(const std::string &url, const ReferenceResolver &resolve)
{
    const std::string scheme = schemeOf(url);
    if (scheme == "cid") {
        if (resolve) {
            std::string resolved = resolve(std::string_view(url).substr(4), true);
            if (!resolved.empty())
                return ResourceUrl{std::move(resolved)};
        }
        return ResourceUrl{url};
    }
    if (isRemoteUrl(url))
        return ResourceUrl{url, true};
    if (url.empty() || scheme == "data" || url.front() == '#')
        return ResourceUrl{url};
    if (scheme.empty() && resolve) {
        std::string resolved = resolve(url, false);
        if (!resolved.empty())
            return ResourceUrl{std::move(resolved)};
    }
    return std::nullopt;
}

} // namespace tessaly
