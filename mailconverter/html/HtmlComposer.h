// Composes the HTML page of a message: the header block, then the body, then forwarded messages.
#pragma once

#include "mailconverter/mime/MailMessage.h"
#include "support/TextHelpers.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tessaly {

struct ComposeOptions
{
    /// CSS page size: "A4" or "letter".
    std::string paperSize = "A4";
    /// Prefix for inline parts: "cid:x@y" becomes cidBaseUrl + percentEncodeUrlPart("x@y").
    /// Empty keeps "cid:" links unchanged.
    std::string cidBaseUrl;
};

/// Returns the whole HTML document for `message`: its body, then its forwarded messages,
/// each with its own header block. The message's own header block is not part of it: it is
/// drawn apart (HeaderStamp), in room the renderers keep for it.
/// Every header value is escaped; the message's scripts, frames, forms, <base> and meta
/// refreshes are removed, and its @page rules; remote images become a small placeholder.
/// A pure function: no I/O, no Qt.
std::string composeMessageHtml(const MailMessage &message, const std::vector<AttachmentListing> &attachments,
                               const ComposeOptions &options);

/// The readable header-block form of a date, in the zone it was written with,
/// e.g. "Friday, 5 March 2021 14:07:00 +0100".
std::string formatHeaderDate(const MailDate &date);

/// Percent-encodes everything but unreserved characters (RFC 3986), for a URL path part.
std::string percentEncodeUrlPart(std::string_view text);

} // namespace tessaly
