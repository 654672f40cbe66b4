// The attachment step of one conversion: what the header block lists, what goes into the PDF
// and what is written beside it.
#include "mailconverter/attachments/AttachmentHandling.h"

#include "mailconverter/attachments/MessageAttachments.h"

namespace tessaly {

std::unique_ptr<AttachmentHandling> makeAttachmentHandling()
{
    return std::make_unique<MessageAttachments>();
}

} // namespace tessaly
