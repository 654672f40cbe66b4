// The message reader over GMime: subject, sender and date of one message file.
#pragma once

#include "platform/MessageReader.h"

#include <optional>
#include <string>

namespace tessaly {

class GMimeMessageReader : public MessageReader
{
public:
    bool LoadMessage(const std::string &messageFile) override;
    bool OpenMessage(const std::string &messageFile) override;

    std::string Subject() const override;
    std::string From() const override;
    std::optional<MessageDateTime> Date() const override;
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
