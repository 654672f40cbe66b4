// Names a message's PDF from its subject, sender and date.
#pragma once

#include "conversion/NamingOption.h"
#include "platform/MessageReader.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace tessaly {

/// The longest name, in characters, before ".pdf".
inline constexpr std::size_t kMaxNameCharacters = 220;
/// OptDFS_YMD keeps this many characters of "subject sender".
inline constexpr std::size_t kSubjectAndSenderCharacters = 235;
/// The longest name in bytes. A file name holds at most 255 bytes, and every name derived from
/// this one must fit: "<name> (99999).pdf" and the attachments folder "<name> (99999)
/// attachments" (8 bytes of number, 12 of " attachments").
inline constexpr std::size_t kMaxNameBytes = 255 - 8 - 12;
/// The subject part of a name when the message has none (or none survives cleaning).
inline constexpr const char *kNoSubjectName = "(no subject)";
/// The sender part of a name when the message has none.
inline constexpr const char *kUnknownSenderName = "(unknown sender)";

/// The PDF file name (with ".pdf") for the given values under `option`.
///
/// Each value is cleaned first: runs of white space (a folded header's line breaks and tabs)
/// become one blank; the forbidden characters : ? \ / * " < > |, the other codes 0 to 31 and
/// the bidirectional controls are removed; blanks at either end go. A subject left empty is
/// "(no subject)", a sender "(unknown sender)". The values are joined by single blanks, cut to
/// 220 characters (UTF-8 code points) and to kMaxNameBytes bytes at a character boundary, and
/// lose leading dots and blanks and trailing dots and blanks. A Windows device name ("CON")
/// gets a "_" in front. A missing date shows as zeros in the option's pattern ("00-00-0000").
std::string composePdfName(NamingOption option, const std::string &subject, const std::string &from,
                           const std::optional<MessageDateTime> &date);

/// Reads from `reader` the values `option` uses (after LoadMessage on `message`, the
/// message's bytes) and returns `mailboxFolder` + separator + composePdfName(...).
std::string MakePDFPath(MessageReader &reader, std::string_view message, NamingOption option,
                        const std::string &mailboxFolder);

} // namespace tessaly
