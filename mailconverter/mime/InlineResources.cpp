#include "mailconverter/mime/InlineResources.h"

#include "support/TextHelpers.h"
#include "support/Utf8.h"

#include <algorithm>
#include <set>
#include <string_view>

namespace tessaly {

namespace {

// Every "cid:" target in the HTML bodies, lower case and percent-decoded, found in one pass.
std::set<std::string> referencedContentIds(const std::vector<std::string> &lowerHtml)
{
    std::set<std::string> ids;
    for (const std::string &html : lowerHtml) {
        for (std::size_t at = html.find("cid:"); at != std::string::npos; at = html.find("cid:", at + 4)) {
            const std::size_t begin = at + 4;
            const std::size_t end = html.find_first_of("\"'()<> \t\n\\", begin);
            ids.insert(
                percentDecode(std::string_view(html).substr(begin, end == std::string::npos ? end : end - begin)));
        }
    }
    return ids;
}

bool htmlReferences(const std::vector<std::string> &lowerHtml, const std::set<std::string> &contentIds,
                    const InlineResource &resource)
{
    if (!resource.contentId.empty() && contentIds.count(asciiLowercase(resource.contentId)))
        return true;
    const std::string location = asciiLowercase(resource.contentLocation);
    if (location.empty())
        return false;
    for (const std::string &html : lowerHtml) {
        if (html.find(location) != std::string::npos)
            return true;
    }
    return false;
}

} // namespace

void settleInlineResources(MailMessage &message, std::vector<ResourceCandidate> candidates)
{
    if (candidates.empty())
        return;
    std::vector<std::string> lowerHtml;
    for (const BodyPart &body : message.bodies) {
        if (body.kind == BodyPart::Kind::Html)
            lowerHtml.push_back(asciiLowercase(body.text));
    }
    const std::set<std::string> contentIds = referencedContentIds(lowerHtml);
    std::size_t inserted = 0;
    for (ResourceCandidate &candidate : candidates) {
        if (htmlReferences(lowerHtml, contentIds, candidate.resource)) {
            if (candidate.shownWhereItStands) {
                // The HTML draws it; it needs no place of its own.
                const std::string key = resourceKey(candidate.resource);
                const auto shown =
                    std::find_if(message.bodies.begin(), message.bodies.end(), [&](const BodyPart &body) {
                        return body.kind == BodyPart::Kind::Image && body.text == key;
                    });
                if (shown != message.bodies.end())
                    message.bodies.erase(shown);
            }
            message.inlineResources.push_back(std::move(candidate.resource));
            continue;
        }
        AttachmentPart attachment;
        attachment.declaredName = std::move(candidate.declaredName);
        attachment.mimeType = candidate.resource.mimeType;
        attachment.bytes =
            candidate.shownWhereItStands ? candidate.resource.bytes : std::move(candidate.resource.bytes);
        if (candidate.shownWhereItStands)
            message.inlineResources.push_back(std::move(candidate.resource));
        const std::size_t at = std::min(candidate.attachmentIndex + inserted, message.attachments.size());
        message.attachments.insert(message.attachments.begin() + static_cast<std::ptrdiff_t>(at),
                                   std::move(attachment));
        ++inserted;
    }
}

} // namespace tessaly
