// The headers that identify a message, decoded one way for naming it and for drawing it.
#pragma once

#include "mailconverter/mime/HeaderBlockRewrite.h"
#include "mailconverter/mime/MailMessage.h"

#include <gmime/gmime.h>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessaly {

/// A header field as the message writes it: its name, and its value with folding kept but
/// without the blanks after the colon.
struct RawHeaderField
{
    std::string name;
    std::string value;
};

/// What the header block says of a message, decoded to UTF-8.
struct MessageHeaders
{
    std::string subject;
    std::vector<MailAddress> from;
    std::vector<MailAddress> to;
    std::vector<MailAddress> cc;
    std::vector<MailAddress> bcc;
    std::vector<MailAddress> replyTo;
    std::string messageId; ///< without its angle brackets
    /// The Date header; else the mbox envelope line's date; else the newest Received
    /// header's date that can be read.
    std::optional<MailDate> date;
    MailMessage::DateSource dateSource = MailMessage::DateSource::Header;
};

/// The header fields of a message GMime parsed, in their order, as the message wrote them:
/// GMime was given the fields in `setAside` (HeaderBlockRewrite) empty, and each takes its raw
/// value back.
std::vector<RawHeaderField> headerFieldsOf(GMimeObject *object, const SetAsideHeaders &setAside);

/// The value of the first field named `name` (ASCII case ignored), as GMime finds it; "" when
/// there is none. A value GMime is not given (isKeptFromGMime) comes unfolded and trimmed.
std::string firstFieldValue(const std::vector<RawHeaderField> &fields, std::string_view name);

/// Decodes the header fields of one message, in their order. The naming reader and the
/// message model both decode with this, so a message is named as its page shows it. Raw 8-bit
/// text is read in `declaredCharset`, the charset the message's text declares;
/// `envelopeDate` is the mbox envelope line's date, the first fallback for a missing Date.
MessageHeaders decodeMessageHeaders(const std::vector<RawHeaderField> &fields, std::string_view declaredCharset,
                                    std::optional<MailDate> envelopeDate, GMimeParserOptions *options);

/// Reads the header block at the start of `message`: after a byte order mark and an mbox
/// "From " envelope line (whose date is a fallback), up to the blank line that ends it or the
/// first line that is neither a header field nor the continuation of one. Header lines past
/// `maxHeaderBytes` bytes of the block are not read (a field they cut ends there), and
/// nothing after the block is, but for the Content-Type fields in the first 64 KB of a
/// multipart's body: raw 8-bit text is read in the charset the message's text declares, as
/// the whole parse reads it (a text message's own, a multipart's first text part's).
MessageHeaders readMessageHeaders(std::string_view message, std::size_t maxHeaderBytes);

} // namespace tessaly
