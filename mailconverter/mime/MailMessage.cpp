#include "mailconverter/mime/MailMessage.h"

namespace tessaly {

std::string senderDisplayName(const MailMessage &message)
{
    if (message.from.empty())
        return {};
    return message.from.front().name.empty() ? message.from.front().address : message.from.front().name;
}

std::string resourceKey(const InlineResource &resource)
{
    return resource.contentId.empty() ? resource.contentLocation : resource.contentId;
}

const InlineResource *findInlineResource(const MailMessage &message, std::string_view key)
{
    for (const InlineResource &resource : message.inlineResources) {
        if (resourceKey(resource) == key)
            return &resource;
    }
    for (const MailMessage &inner : message.forwarded) {
        if (const InlineResource *found = findInlineResource(inner, key))
            return found;
    }
    return nullptr;
}

std::vector<const InlineResource *> allInlineResources(const MailMessage &message)
{
    std::vector<const InlineResource *> resources;
    for (const InlineResource &resource : message.inlineResources)
        resources.push_back(&resource);
    for (const MailMessage &inner : message.forwarded) {
        const std::vector<const InlineResource *> more = allInlineResources(inner);
        resources.insert(resources.end(), more.begin(), more.end());
    }
    return resources;
}

} // namespace tessaly
