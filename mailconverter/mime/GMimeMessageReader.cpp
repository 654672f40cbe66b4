#include "mailconverter/mime/GMimeMessageReader.h"

#include "mailconverter/mime/MessageHeaders.h"
#include "support/DateTime.h"
#include "support/TextHelpers.h"

#include <ctime>
#include <optional>

namespace tessaly {

namespace {

std::string cut(std::string_view value)
{
    return cutForDisplay(value, kMaxHeaderValueCharacters);
}

} // namespace

bool GMimeMessageReader::LoadMessage(std::string_view message)
{
    const MessageHeaders headers = readMessageHeaders(message, kMaxHeaderBlockBytes);
    m_subject = cut(headers.subject);
    m_from.clear();
    if (!headers.from.empty())
        m_from = cut(headers.from.front().name.empty() ? headers.from.front().address : headers.from.front().name);
    m_messageId = cut(headers.messageId);
    std::string to;
    for (const MailAddress &recipient : headers.to) {
        if (!to.empty())
            to += ", ";
        to += recipient.name.empty()
                  ? recipient.address
                  : recipient.name + (recipient.address.empty() ? "" : " <" + recipient.address + ">");
    }
    m_to = cut(to);
    m_date.reset();
    if (headers.date) {
        if (const std::optional<std::tm> local = localTimeFields(static_cast<std::time_t>(headers.date->utcSeconds))) {
            m_date = MessageDateTime{local->tm_year + 1900, local->tm_mon + 1, local->tm_mday,
                                     local->tm_hour,        local->tm_min,     local->tm_sec};
        }
    }
    return true;
}

MessageReaderFactory gmimeMessageReaderFactory()
{
    return [] { return std::make_unique<GMimeMessageReader>(); };
}

} // namespace tessaly
