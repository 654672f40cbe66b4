// The message reader: reads the subject, sender and date of one message file.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

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

/// Reads the headers that name a message's PDF. Call `LoadMessage`, then `OpenMessage`
/// with the same path, then the values. A message file starts with its mbox "From " line.
class MessageReader
{
public:
    virtual ~MessageReader() = default;

    /// Reads and parses the message file. Returns false when it cannot; the values are then
    /// empty (and `Date` is nullopt), never garbage.
    virtual bool LoadMessage(const std::string &messageFile) = 0;
    /// Repeats the load; kept because callers call both, in this order.
    virtual bool OpenMessage(const std::string &messageFile) = 0;

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
