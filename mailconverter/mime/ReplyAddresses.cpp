#include "mailconverter/mime/ReplyAddresses.h"

#include "support/Utf8.h"

#include <algorithm>
#include <string>

namespace tessaly {
namespace {

std::vector<std::string> sortedAddresses(const std::vector<MailAddress> &addresses)
{
    std::vector<std::string> out;
    for (const MailAddress &address : addresses) {
        if (!address.address.empty())
            out.push_back(asciiLowercase(address.address));
    }
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
}

} // namespace

std::vector<MailAddress> shownReplyTo(const MailMessage &message)
{
    const std::vector<std::string> replyTo = sortedAddresses(message.replyTo);
    if (replyTo.empty() || replyTo == sortedAddresses(message.from))
        return {};
    return message.replyTo;
}

} // namespace tessaly
