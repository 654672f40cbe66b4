#include "mailconverter/html/CssCleaner.h"

#include "support/Utf8.h"

#include <cctype>

namespace tessaly {
namespace {

std::string rewriteUrls(std::string_view css, const ReferenceResolver &resolve)
{
    std::string out;
    std::size_t pos = 0;
    const std::string lower = asciiLowercase(css);
    while (true) {
        const std::size_t at = lower.find("url(", pos);
        if (at == std::string::npos)
            break;
        std::size_t begin = at + 4;
        while (begin < css.size() &&
               (std::isspace(static_cast<unsigned char>(css[begin])) || css[begin] == '"' || css[begin] == '\''))
            ++begin;
        std::size_t end = begin;
        while (end < css.size() && css[end] != ')' && css[end] != '"' && css[end] != '\'' &&
               !std::isspace(static_cast<unsigned char>(css[end])))
            ++end;
        out += css.substr(pos, begin - pos);
        if (std::optional<ResourceUrl> url = resourceUrl(normalisedUrl(css.substr(begin, end - begin)), resolve))
            out += url->url;
        pos = end;
    }
    out += css.substr(pos);
    return out;
}

} // namespace

std::string cleanCss(std::string_view css, const ReferenceResolver &resolve)
{
    std::string out = rewriteUrls(css, resolve);
    std::string lowered = asciiLowercase(out);
    for (std::string_view bad : {"expression(", "-moz-binding", "behavior:"}) {
        std::size_t at = 0;
        while ((at = lowered.find(bad, at)) != std::string::npos) {
            out.replace(at, bad.size(), std::string(bad.size(), '_'));
            lowered.replace(at, bad.size(), std::string(bad.size(), '_'));
            at += bad.size();
        }
    }
    return out;
}

} // namespace tessaly
