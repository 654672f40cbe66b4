// The conversion step: one message file to its PDF, with the chosen attachment handling.
#pragma once

#include "MailConverter.h"
#include "Result.h"

#include <string>

namespace tessaly {

/// Converts `messageFile` into a PDF at `pdfPath`, its attachments handled as `attachments`
/// says, and then deletes the message file. The
/// message file is deleted only after a successful conversion that did not ask to keep it:
/// a failed one keeps it, so nothing is lost. A converter that throws counts as failed. A message file that cannot be
/// deleted after success adds a warning to the result.
Result<ConvertedMessage> ConvertMessage(MailConverter &converter, const std::string &messageFile,
                                        const std::string &pdfPath, AttachmentMode attachments);

} // namespace tessaly
