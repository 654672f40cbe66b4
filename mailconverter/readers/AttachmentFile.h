// The attachment as the embedding and saving steps see it.
#pragma once

#include <string>
#include <string_view>

namespace tessaly {

/// A file found inside another part (a winmail.dat, a uuencoded block), not yet named safely.
struct ExtractedAttachment
{
    std::string declaredName; ///< as the container gives it, UTF-8 when it says so; may be ""
    std::string mimeType;     ///< lower case; "application/octet-stream" when unknown
    std::string bytes;
};

/// An attachment with its final safe name, ready to be embedded or written.
struct AttachmentFile
{
    std::string fileName;   ///< unique within the message, from safeAttachmentName
    std::string mimeType;   ///< lower case, e.g. "application/pdf"
    std::string_view bytes; ///< the content; the caller keeps it alive while it is used
};

} // namespace tessaly
