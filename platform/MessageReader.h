// The message reader: reads the subject, sender and date of one message from its header block.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace tessaly {

/// A calendar date and time of day, in the machine's local time zone.
struct MessageDateTime
{
    int year = 0;
    int month = 0; ///< 1-12
    int day = 0;   ///< 1-31
    int hour = 0;
    int minute = 0;
    int second = 0;

    friend bool operator==(const MessageDateTime &, const MessageDateTime &) = default;
};

/// Header lines past this many bytes of a header block are not read: naming a message costs
/// about this much memory, however large its headers are.
inline constexpr std::size_t kMaxHeaderBlockBytes = 1 << 20;

/// Each value a reader gives is cut after this many characters, with a note of how many were
/// left out, as the header block of the message's page cuts it.
inline constexpr std::size_t kMaxHeaderValueCharacters = 1000;

/// Reads the headers that name a message's PDF. Call `LoadMessage` with the message's bytes,
/// then the values.
class MessageReader
{
public:
    virtual ~MessageReader() = default;

    /// Reads the header block at the start of `message`, a message as split from its mailbox
    /// (its mbox "From " line first). Only the header block is read, and of it at most
    /// kMaxHeaderBlockBytes; the body never is. Returns false when there is no header to read;
    /// the values are then empty (and `Date` is nullopt), never garbage.
    virtual bool LoadMessage(std::string_view message) = 0;

    /// The subject, decoded to UTF-8 and unfolded. Empty when there is none.
    virtual std::string Subject() const = 0;
    /// The sender's display name, decoded to UTF-8; the address when there is no name.
    virtual std::string From() const = 0;
    /// The message's date in local time: the Date header, else the envelope line's date,
    /// else the newest Received header's. nullopt when the message carries no date at all.
    virtual std::optional<MessageDateTime> Date() const = 0;
    /// The Message-ID, without its angle brackets; empty when there is none.
    virtual std::string MessageId() const { return {}; }
    /// The recipients of the To header, decoded to UTF-8, as "Name <address>" joined by ", ".
    virtual std::string To() const { return {}; }
};

/// Makes a new reader; called once per message.
using MessageReaderFactory = std::function<std::unique_ptr<MessageReader>()>;

} // namespace tessaly
