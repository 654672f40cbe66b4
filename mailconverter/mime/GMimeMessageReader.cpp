#include "mailconverter/mime/GMimeMessageReader.h"

#include "mailconverter/mime/MailMessage.h"
#include "support/DateTime.h"

#include <ctime>
#include <optional>

namespace tessaly {

bool GMimeMessageReader::LoadMessage(const std::string &messageFile)
{
    m_subject.clear();
    m_from.clear();
    m_date.reset();
    m_messageId.clear();
    m_to.clear();
    Result<MailMessage> parsed = parseMailMessageFile(messageFile);
    if (!parsed)
        return false;
    const MailMessage &message = parsed.value();
    m_subject = message.subject;
    m_from = senderDisplayName(message);
    m_messageId = message.messageId;
    for (const MailAddress &recipient : message.to) {
        if (!m_to.empty())
            m_to += ", ";
        m_to += recipient.name.empty()
                    ? recipient.address
                    : recipient.name + (recipient.address.empty() ? "" : " <" + recipient.address + ">");
    }
    if (message.date) {
        if (const std::optional<std::tm> local = localTimeFields(static_cast<std::time_t>(message.date->utcSeconds))) {
            m_date = MessageDateTime{local->tm_year + 1900, local->tm_mon + 1, local->tm_mday,
                                     local->tm_hour,        local->tm_min,     local->tm_sec};
        }
    }
    return true;
}

bool GMimeMessageReader::OpenMessage(const std::string &messageFile)
{
    return LoadMessage(messageFile);
}

std::string GMimeMessageReader::Subject() const
{
    return m_subject;
}

std::string GMimeMessageReader::From() const
{
    return m_from;
}

std::optional<MessageDateTime> GMimeMessageReader::Date() const
{
    return m_date;
}

MessageReaderFactory gmimeMessageReaderFactory()
{
    return [] { return std::make_unique<GMimeMessageReader>(); };
}

} // namespace tessaly
