// The message reader: subject, sender and date of one message, from its header block alone.
#pragma once

#include "platform/MessageReader.h"

#include <optional>
#include <string>
#include <string_view>

namespace tessaly {

/// Reads with readMessageHeaders, so it never builds the message's MIME tree: at most
/// kMaxHeaderBlockBytes of the header block are read, and each value it gives is cut after
/// kMaxHeaderValueCharacters characters.
class GMimeMessageReader : public MessageReader
{
public:
    bool LoadMessage(std::string_view message) override;

    std::string Subject() const override { return m_subject; }
    std::string From() const override { return m_from; }
    std::optional<MessageDateTime> Date() const override { return m_date; }
    std::string MessageId() const override { return m_messageId; }
    std::string To() const override { return m_to; }

private:
    std::string m_messageId;
    std::string m_to;
    std::string m_subject;
    std::string m_from;
    std::optional<MessageDateTime> m_date;
};

/// Makes GMimeMessageReader instances.
MessageReaderFactory gmimeMessageReaderFactory();

} // namespace tessaly
