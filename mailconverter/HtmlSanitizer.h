// Making a message's HTML safe and self-contained for embedding in our page.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace tessaly {

struct SanitizeOptions
{
    /// Maps the target of a "cid:" URL (still percent-encoded, as written) or a
    /// Content-Location to the URL to use instead; "" leaves the reference unchanged.
    std::function<std::string(std::string_view reference, bool isContentId)> resolveReference;
    /// The markup that replaces a remote image; receives the escaped alt text.
    std::function<std::string(const std::string &escapedAlt)> remoteImagePlaceholder;
    /// Applied to style="…" and <font face="…"> values when set, e.g. to name installed
    /// stand-ins for fonts a renderer would not otherwise find.
    std::function<std::string(std::string)> rewriteFontNames;
    /// Keep the message's <style> blocks (the web engine) or drop them (the text engine).
    bool keepStyles = true;
};

/// The parts of a message's HTML our page embeds.
struct SanitizedHtml
{
    std::string styles;         ///< the contents of the message's <style> blocks, in order
    std::string bodyAttributes; ///< style="…" and dir/lang/class for the wrapper of the body
    std::string body;           ///< the body's content, safe to embed
};

/// Takes the body content and style sheets of `html` (a whole document or a fragment).
/// Scripts, frames, objects, embeds, applets, <base>, <link>, <meta> and event-handler
/// attributes are removed; forms become plain blocks; "javascript:" URLs are dropped;
/// remote images (http, https, ftp, file, protocol-relative) become the placeholder.
SanitizedHtml sanitizeHtml(std::string_view html, const SanitizeOptions &options);

/// Escapes & < > " ' for use in HTML text and attribute values.
std::string escapeHtml(std::string_view text);

} // namespace tessaly
