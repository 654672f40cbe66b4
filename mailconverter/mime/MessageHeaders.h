// The headers that identify a message, read from its header block alone.
#pragma once

#include "mailconverter/mime/MailMessage.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessaly {

/// What the header block says of a message, decoded as the whole message's parse decodes it.
struct MessageHeaders
{
    std::string subject;
    std::vector<MailAddress> from;
    std::vector<MailAddress> to;
    std::string messageId; ///< without its angle brackets
    /// The Date header; else the mbox envelope line's date; else the newest Received
    /// header's date that can be read.
    std::optional<MailDate> date;
};

/// Reads the header block at the start of `message`: after a byte order mark and an mbox
/// "From " envelope line (whose date is a fallback), up to the blank line that ends it or the
/// first line that is neither a header field nor the continuation of one. Header lines past
/// `maxHeaderBytes` bytes of the block are not read (a field they cut ends there), and
/// nothing after the block is, but for the Content-Type fields in the first 64 KB of a
/// multipart's body: raw 8-bit text is read in the charset the message's text declares, as
/// the whole parse reads it (a text message's own, a multipart's first text part's).
MessageHeaders readMessageHeaders(std::string_view message, std::size_t maxHeaderBytes);

} // namespace tessaly
