// The attachment step of one conversion: what the header block lists, what goes into the PDF
// and what is written beside it.
#pragma once

#include "MailConverter.h"
#include "mailconverter/attachments/MessageCommit.h"
#include "mailconverter/mime/MailMessage.h"
#include "Result.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class QPDF;

namespace tessaly {

/// Handles one message's attachments around the rendering. Calls come in this order:
/// `prepare`, then (once the page is rendered) `editPdf` within the PDF finishing pass, then
/// `addFilesToSave`, which hands what belongs beside the PDF to the commit. A failure of any
/// step fails the conversion.
class AttachmentHandling
{
public:
    virtual ~AttachmentHandling() = default;

    /// Decides the attachments' names and returns the rows of the header block's list.
    /// `target` says where the PDF will be committed.
    virtual Result<std::vector<AttachmentListing>> prepare(const MailMessage &message, AttachmentMode mode,
                                                           const CommitPlan &target) = 0;
    /// Edits the rendered PDF, e.g. embeds the files. Sets `minimumPdfVersion` when needed.
    virtual Result<void> editPdf(QPDF &pdf, std::string &minimumPdfVersion) = 0;
    /// Puts the files to save beside the PDF, and their folder, into `rendered`.
    virtual void addFilesToSave(RenderedMessage &rendered) const = 0;
};

/// Makes the attachment step for one conversion.
std::unique_ptr<AttachmentHandling> makeAttachmentHandling();

} // namespace tessaly
