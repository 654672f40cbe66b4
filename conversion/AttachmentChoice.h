// What a run does with each message's attachments.
#pragma once

namespace tessaly {

/// The attachment controls as they stand: the check box and the two option buttons.
struct AttachmentChoice
{
    bool ChkSaveAttach = false;
    bool OptSaveAttachEmbed = true;
    bool OptSaveAttachFolder = false;
};

} // namespace tessaly
