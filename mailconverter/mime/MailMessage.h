// The message model: what a parsed mail message holds, in plain C++ with UTF-8 text.
#pragma once

#include "support/OpenFile.h"
#include "support/Result.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessaly {

/// One mailbox of an address header, decoded to UTF-8. Either part may be empty.
struct MailAddress
{
    std::string name;
    std::string address;

    friend bool operator==(const MailAddress &, const MailAddress &) = default;
};

/// A point in time plus the zone offset it was written with.
struct MailDate
{
    std::int64_t utcSeconds = 0; ///< seconds since 1970-01-01 00:00 UTC
    int offsetMinutes = 0;       ///< e.g. +60 for "+0100"

    friend bool operator==(const MailDate &, const MailDate &) = default;
};

/// A part shown as the message's text, or an image shown where its part stands.
struct BodyPart
{
    enum class Kind
    {
        Html,
        PlainText,
        Image,
        Invitation ///< a text/calendar part that reads as one (CalendarInvitation.h); text is the calendar
    };
    Kind kind = Kind::PlainText;
    /// UTF-8 with LF line ends; plain text with format=flowed is already reflowed. For an
    /// Image, the key (see resourceKey) of the inline resource drawn here.
    std::string text;
    /// The charset the part declared (or its HTML named), as written; "" when none. It tells
    /// which Chinese, Japanese or Korean face draws the text.
    std::string charset;
};

/// A part that the HTML body refers to with "cid:" (or by its Content-Location).
struct InlineResource
{
    std::string contentId;       ///< without the angle brackets; may be empty
    std::string contentLocation; ///< as the header gives it; may be empty
    std::string mimeType;        ///< lower case, e.g. "image/png"
    std::string bytes;           ///< decoded content
};

/// A part that is neither the shown body nor an inline resource the body uses.
struct AttachmentPart
{
    /// The declared file name decoded to UTF-8, NOT yet made safe for a file system;
    /// "" when the part declares none.
    std::string declaredName;
    std::string mimeType; ///< lower case, e.g. "application/pdf"
    std::string bytes;    ///< decoded content; for a forwarded message, the whole raw message
    /// True for a message/rfc822 part; its parsed form is also in MailMessage::forwarded.
    bool isForwardedMessage = false;
};

/// One row of the header block's attachment list, as the attachment step decided it.
struct AttachmentListing
{
    std::string displayName; ///< the safe name, UTF-8
    std::uint64_t size = 0;  ///< in bytes
    std::string href;        ///< relative link to the saved file, or "" for no link
    bool embedded = false;   ///< shows a file-attachment mark: the file is inside the PDF
};

/// A header field too long to read whole (kMaxHeaderFieldBytes), cut before the message was read.
struct CutHeaderField
{
    std::string name;        ///< as the message writes it
    std::uint64_t bytes = 0; ///< the whole field's length, its line breaks included
};

/// A whole message. Text fields are UTF-8; missing headers are empty.
struct MailMessage
{
    std::string subject; ///< decoded and unfolded
    std::vector<MailAddress> from;
    std::vector<MailAddress> to;
    std::vector<MailAddress> cc;
    std::vector<MailAddress> bcc;     ///< present in sent mail, which keeps who was copied blind
    std::vector<MailAddress> replyTo; ///< where answers go; see shownReplyTo
    /// The Date header; else the mbox envelope line's date; else the newest Received
    /// header's date. nullopt when the message carries none of them.
    std::optional<MailDate> date;
    /// Where `date` came from, so that a page can say when it is not the sender's own.
    enum class DateSource
    {
        Header,
        Envelope,
        Received
    };
    DateSource dateSource = DateSource::Header;

    std::vector<BodyPart> bodies; ///< in display order; empty when the message has no text
    std::vector<InlineResource> inlineResources;
    std::vector<AttachmentPart> attachments; ///< in the order the parts appear
    std::vector<MailMessage> forwarded;      ///< message/rfc822 parts, shown after the body
    std::string messageId;                   ///< without its angle brackets; "" when none

    /// How the reading departed from what the message declares (e.g. a body read in another
    /// charset of its family than its label), for the conversion's warnings.
    std::vector<std::string> warnings;
    /// Which inline images the converter leaves undrawn, and why; shown in the header block.
    std::string imagesNotDrawn;
    /// "Signed (S/MIME) by …; signature not checked" or "Signed (PGP); …" for a signed
    /// message, shown in the header block; "" when unsigned. Nothing is verified.
    std::string signatureNote;
    /// Whether a part is encrypted: the page shows a notice in its place, and only the
    /// encrypted part itself (an attachment) keeps the content.
    bool hasEncryptedParts = false;
    /// The header fields cut before the message was read, in their order: what the message
    /// shows of them is what was kept. Only parseMailMessageFile cuts them.
    std::vector<CutHeaderField> cutHeaderFields;
    /// Where the whole header block lies in the message file, after its envelope line; set
    /// when a field was cut, for keeping the block's whole text (readWholeHeaderBlock).
    std::uint64_t headerBlockOffset = 0;
    std::uint64_t headerBlockBytes = 0;
};

/// Parses a message from memory. A leading mbox "From " envelope line is skipped (and its
/// date used as a fallback). Broken MIME still gives a message with whatever could be read;
/// this fails only when the bytes hold nothing that looks like a message.
Result<MailMessage> parseMailMessage(std::string_view bytes);

/// Reads and parses a message file; fails with the file name and the OS reason when it
/// cannot be read.
Result<MailMessage> parseMailMessageFile(const std::string &path);
/// The same from an open file, read from its start: its position moves, and the parts stay
/// on disk until they are decoded.
Result<MailMessage> parseMailMessageFile(const OpenFile &file);

/// The sender as a page shows it: display name, else address. "" when there is no From.
std::string senderDisplayName(const MailMessage &message);

/// The key a page uses for an inline resource: its Content-ID (without angle brackets), or
/// its Content-Location when it has no Content-ID.
std::string resourceKey(const InlineResource &resource);

/// Finds an inline resource by key (see resourceKey) in the message and, failing that, in
/// its forwarded messages. nullptr when there is none.
const InlineResource *findInlineResource(const MailMessage &message, std::string_view key);

/// Every inline resource of the message and of its forwarded messages, outer ones first.
std::vector<const InlineResource *> allInlineResources(const MailMessage &message);

} // namespace tessaly
