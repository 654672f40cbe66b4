// Building the message model from GMime's MIME tree.
#include "MailMessage.h"

namespace tessaly {

Result<MailMessage> parseMailMessage(std::string_view)
{
    return MailMessage{};
}

Result<MailMessage> parseMailMessageFile(const std::string &)
{
    return MailMessage{};
}

std::string senderDisplayName(const MailMessage &message)
{
    if (message.from.empty())
        return {};
    return message.from.front().name.empty() ? message.from.front().address : message.from.front().name;
}

const InlineResource *findInlineResource(const MailMessage &message, std::string_view contentId)
{
    for (const InlineResource &resource : message.inlineResources) {
        if (resource.contentId == contentId)
            return &resource;
    }
    for (const MailMessage &inner : message.forwarded) {
        if (const InlineResource *found = findInlineResource(inner, contentId))
            return found;
    }
    return nullptr;
}

} // namespace tessaly
