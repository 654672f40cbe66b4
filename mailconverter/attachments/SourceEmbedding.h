// The message itself inside its PDF, as an associated file that the page was made from.
#pragma once

#include "mailconverter/readers/AttachmentFile.h"
#include "support/OpenFile.h"
#include "support/Result.h"

#include <string>
#include <string_view>

class QPDF;

namespace tessaly {

/// `bytes` without a first line that is the mailbox's "From " envelope line: what remains is
/// the message as mail programs know it.
std::string_view withoutEnvelopeLine(std::string_view bytes);

/// The open message file's bytes without its envelope line. Fails with the file and the OS reason.
Result<std::string> readMessageSource(const OpenFile &messageFile);

/// "<PDF name without .pdf>.eml": the name of the message inside the PDF at `pdfPath`.
std::string messageSourceName(const std::string &pdfPath);

/// Embeds `source` (its MIME type set to message/rfc822) with embedAttachments and makes it the
/// document's associated source: its /Filespec dictionary gets /AFRelationship /Source and the
/// catalogue's /AF array names it. Call after the attachments are embedded, so that they keep
/// their names and the source's name yields on a clash. Fails with qpdf's reason.
Result<void> embedMessageSource(QPDF &pdf, std::string_view bytes, const std::string &fileName,
                                const std::string &pdfModDate);

} // namespace tessaly
