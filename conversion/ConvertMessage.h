// The conversion step: one message file to its PDF, with the chosen attachment handling.
#pragma once

#include "platform/ConcurrentMailConverter.h"
#include "platform/MailConverter.h"
#include "support/Result.h"

#include <string>

namespace tessaly {

/// Hands `messageFile` to `converter` for a PDF at `pdfPath`, its attachments handled as
/// `attachments` says. Fails only when the converter throws; what became of the message comes
/// from finishConvertMessage, in the order the messages were handed over.
Result<void> ConvertMessage(ConcurrentMailConverter &converter, const FileInFolder &messageFile,
                            const FileInFolder &pdfPath, AttachmentMode attachments);

/// Finishes the oldest message handed to `converter`, whose message file is `messageFile`, and
/// then deletes the message file. It is deleted only after a successful conversion that did
/// not ask to keep it: a failed one keeps it, so nothing is lost. A converter returns success
/// only once its files are durable (data synced before each rename, folders after:
/// commitRenderedMessage), so a power cut after the deletion still finds the PDF. A converter that throws
/// counts as failed. A message file that cannot be deleted after success adds a warning.
Result<ConvertedMessage> finishConvertMessage(ConcurrentMailConverter &converter, const FileInFolder &messageFile);

} // namespace tessaly
