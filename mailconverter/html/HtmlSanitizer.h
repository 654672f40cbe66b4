// Making a message's HTML safe and self-contained for embedding in our page.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tessaly {

/// A remote image the page shows as a placeholder instead.
struct RemoteImage
{
    std::string escapedAlt; ///< the alt text, escaped for HTML text
    /// CSS declarations that give the placeholder the image's box: width, height and float
    /// from its attributes, then its own style attribute. Escaped for a style="…" value.
    std::string escapedStyle;
};

struct SanitizeOptions
{
    /// Maps the target of a "cid:" URL (still percent-encoded, as written) or a
    /// Content-Location to the URL to use instead; "" leaves the reference unchanged.
    std::function<std::string(std::string_view reference, bool isContentId)> resolveReference;
    /// The markup that replaces a remote image.
    std::function<std::string(const RemoteImage &image)> remoteImagePlaceholder;
};

/// One of the message's CSS style sheets.
struct StyleSheet
{
    /// The media query list it applies to, as it reads on our printed page ("" for all).
    std::string media;
    std::string css; ///< safe to place inside a <style> element
};

/// The parts of a message's HTML our page embeds.
struct SanitizedHtml
{
    std::vector<StyleSheet> styleSheets; ///< the message's CSS <style> elements, in document order
    std::string bodyAttributes;          ///< style="…" and dir/lang/class for the wrapper of the body
    std::string body;                    ///< the body's content, every element closed, safe to embed
};

/// Parses `html` (a whole document or a fragment) as an HTML5 browser does and returns its
/// body content and style sheets, serialised from that tree. Scripts, frames, objects,
/// embeds, <base>, <link>, <meta> and event-handler attributes are removed; forms become
/// plain blocks; links other than http, https, mailto and "#…" lose their target; remote
/// images (http, https, ftp, file, protocol-relative) become the placeholder. Style sheets
/// that are not CSS are dropped, and media queries are read as for a screen the width of
/// the page, as a mail client shows the message.
SanitizedHtml sanitizeHtml(std::string_view html, const SanitizeOptions &options);

} // namespace tessaly
