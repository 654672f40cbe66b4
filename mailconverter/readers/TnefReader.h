// Reads the files out of a winmail.dat (application/ms-tnef), the container Outlook sends.
#pragma once

#include "mailconverter/readers/AttachmentFile.h"
#include "support/Result.h"

#include <string_view>
#include <vector>

namespace tessaly {

/// The files a TNEF stream carries, in order, as [MS-OXTNEF] lays them out: each attachment
/// begins with attAttachRendData; its name comes from the MAPI property
/// PR_ATTACH_LONG_FILENAME, else attAttachTitle, else PR_ATTACH_FILENAME; its bytes from
/// attAttachData, else PR_ATTACH_DATA_BIN. Attachments without data (embedded OLE objects,
/// messages) are left out.
///
/// Fails, saying at which offset, for a stream with a wrong signature, an attribute that runs
/// past the end, a wrong checksum, or a malformed property list; and when it carries no file
/// at all. Every length is checked against what is left, so no input makes it read or
/// allocate beyond the input's size. The caller then keeps the winmail.dat as it is.
Result<std::vector<ExtractedAttachment>> readTnefAttachments(std::string_view tnef);

/// True for the MIME types a TNEF part is sent as.
bool isTnefMimeType(std::string_view mimeType);

} // namespace tessaly
