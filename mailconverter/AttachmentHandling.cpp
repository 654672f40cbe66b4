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

Result<std::vector<AttachmentListing>> ListingOnlyAttachments::prepare(const MailMessage &message, AttachmentMode,
                                                                       const std::string &)
{
    std::vector<AttachmentListing> listings;
    int unnamed = 0;
    for (const AttachmentPart &part : message.attachments) {
        AttachmentListing listing;
        listing.displayName = part.declaredName.empty() ? "attachment-" + std::to_string(++unnamed) : part.declaredName;
        listing.size = part.bytes.size();
        listings.push_back(std::move(listing));
    }
    return listings;
}

Result<void> ListingOnlyAttachments::editPdf(QPDF &, std::string &)
{
    return {};
}

Result<void> ListingOnlyAttachments::afterCommit(const std::string &, std::vector<std::string> &)
{
    return {};
}

std::unique_ptr<AttachmentHandling> makeAttachmentHandling()
{
    return std::make_unique<MessageAttachments>();
}

} // namespace tessaly
