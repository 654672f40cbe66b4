// Which URLs of a message's HTML are followed, loaded or dropped, read as a browser's URL
// parser reads them.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace tessaly {

/// Maps the target of a "cid:" URL (still percent-encoded, as written) or a Content-Location
/// to the URL to use instead; "" leaves the reference unchanged (SanitizeOptions::resolveReference).
using ReferenceResolver = std::function<std::string(std::string_view reference, bool isContentId)>;

/// `value` as the URL parser reads it: leading and trailing controls and spaces go, and so do
/// tabs and line breaks anywhere ("java\nscript:" is "javascript:").
std::string normalisedUrl(std::string_view value);

/// Whether `url` (normalised) loads from elsewhere: http, https, ftp, file, or protocol-relative.
bool isRemoteUrl(std::string_view url);

/// Whether a reader of the PDF may follow the link `url` (normalised): http, https, mailto and
/// "#…". Anything else (javascript:, file:, our own scheme) would become a link action in the PDF.
bool isFollowableLink(std::string_view url);

/// What a reference to a resource (src, background, CSS url()) becomes.
struct ResourceUrl
{
    std::string url;
    /// Loads from elsewhere, unchanged: an image shows a placeholder, anything else goes.
    bool isRemote = false;
};

/// The URL to use instead of the resource reference `url` (normalised): a "cid:" or relative
/// reference as `resolve` maps it, data: and "#…" as they are. nullopt when the reference must
/// go: a path that is not one of the message's own parts would make a renderer read a local file.
std::optional<ResourceUrl> resourceUrl(const std::string &url, const ReferenceResolver &resolve);

} // namespace tessaly
