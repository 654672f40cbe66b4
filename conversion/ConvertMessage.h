// The conversion step: one message file to its PDF, with the chosen attachment handling.
#pragma once

#include "AttachmentChoice.h"
#include "MailConverter.h"
#include "Result.h"

#include <optional>
#include <string>
#include <string_view>

namespace tessaly {

/// The options text for the attachment controls as they stand: "-c pdf" whenever the check
/// box is clear, whatever the option buttons show; "-c PDF -attach" or "-c PDF -sattach" when
/// it is checked. nullopt when the box is checked but neither button is set, which the
/// window's option group rules out. Embedding wins should both be set, so a message is never
/// converted twice.
std::optional<std::string_view> convertOptionsText(const AttachmentChoice &choice);

/// Converts `messageFile` into a PDF at `pdfPath` and then deletes the message file. The
/// message file is deleted only after a successful conversion that did not ask to keep it:
/// a failed one keeps it, so nothing is lost. A converter that throws counts as failed. A message file that cannot be
/// deleted after success adds a warning to the result.
Result<ConvertedMessage> ConvertMessage(MailConverter &converter, const std::string &messageFile,
                                        const std::string &pdfPath, const AttachmentChoice &choice);

} // namespace tessaly
