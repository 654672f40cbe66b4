// The attachment step of one conversion: what the header block lists, what goes into the PDF
// and what is written beside it.
#include "AttachmentHandling.h"

#include "MailConverter.h"
#include "MessageAttachments.h"

namespace tessaly {

std::optional<AttachmentMode> attachmentModeFor(std::string_view options)
{
    if (options == kConvertPdfOnly)
        return AttachmentMode::ListOnly;
    if (options == kConvertEmbedAttachments)
        return AttachmentMode::Embed;
    if (options == kConvertAttachmentFolder)
        return AttachmentMode::Folder;
    return std::nullopt;
}

std::unique_ptr<AttachmentHandling> makeAttachmentHandling()
{
    return std::make_unique<MessageAttachments>();
}

} // namespace tessaly
