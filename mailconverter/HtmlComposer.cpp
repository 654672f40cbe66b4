// Composes the HTML page of a message: the header block, then the body, then forwarded messages.
#include "HtmlComposer.h"

namespace tessaly {

std::string composeMessageHtml(const MailMessage &, const std::vector<AttachmentListing> &, const ComposeOptions &)
{
    return "<!DOCTYPE html><html><body></body></html>";
}

std::string formatHeaderDate(const MailDate &)
{
    return {};
}

std::string formatByteSize(std::uint64_t size)
{
    return std::to_string(size) + " bytes";
}

std::string percentEncodeUrlPart(std::string_view text)
{
    return std::string(text);
}

std::string percentDecode(std::string_view text)
{
    return std::string(text);
}

} // namespace tessaly
