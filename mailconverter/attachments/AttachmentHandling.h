// The attachment step of one conversion: what the header block lists, what goes into the PDF
// and what is written beside it.
#pragma once

#include "MailConverter.h"
#include "mailconverter/html/HtmlComposer.h"
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
/// `saveBesidePdf` just before the PDF is committed, so the PDF comes last and the message is
/// one unit. A failure of any step fails the conversion; `removeSaved` takes back what
/// `saveBesidePdf` wrote when the PDF cannot be committed after all.
class AttachmentHandling
{
public:
    virtual ~AttachmentHandling() = default;

    /// Decides the attachments' names and returns the rows of the header block's list.
    /// `destination` is the path the PDF will be committed to.
    virtual Result<std::vector<AttachmentListing>> prepare(const MailMessage &message, AttachmentMode mode,
                                                           const std::string &destination) = 0;
    /// Edits the rendered PDF, e.g. embeds the files. Sets `minimumPdfVersion` when needed.
    virtual Result<void> editPdf(QPDF &pdf, std::string &minimumPdfVersion) = 0;
    /// Writes what belongs beside the PDF; may add warnings. On failure it leaves nothing it
    /// wrote behind.
    virtual Result<void> saveBesidePdf(std::vector<std::string> &warnings) = 0;
    /// Removes what saveBesidePdf wrote.
    virtual void removeSaved() = 0;
};

/// Makes the attachment step for one conversion.
std::unique_ptr<AttachmentHandling> makeAttachmentHandling();

} // namespace tessaly
