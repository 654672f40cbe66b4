// Which parts with a Content-ID or Content-Location are inline resources an HTML body draws,
// and which are attachments after all.
#pragma once

#include "mailconverter/mime/MailMessage.h"

#include <cstddef>
#include <string>
#include <vector>

namespace tessaly {

/// A part that may become an inline resource, decided once the bodies are known.
struct ResourceCandidate
{
    InlineResource resource;
    std::string declaredName;
    std::size_t attachmentIndex = 0; ///< where in the attachment order it would go
    bool shownWhereItStands = false; ///< an image with a body entry, dropped if the HTML uses it
};

/// Settles the candidates of `message` once its bodies are known. A candidate is inline only
/// when an HTML body uses it ("cid:" or its Content-Location); otherwise the reader would
/// never see it, so it is listed as an attachment in its place in the part order. An image
/// shown where it stands that the HTML also draws loses its own place among the bodies.
void settleInlineResources(MailMessage &message, std::vector<ResourceCandidate> candidates);

} // namespace tessaly
