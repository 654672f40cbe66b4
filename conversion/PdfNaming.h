// Names a message's PDF from its subject, sender and date.
#pragma once

#include "ConversionView.h"
#include "MessageReader.h"

#include <cstddef>
#include <optional>
#include <string>

namespace tessaly {

/// The longest name, in characters, before ".pdf".
inline constexpr std::size_t kMaxNameCharacters = 220;
/// OptDFS_YMD keeps this many characters of "subject sender".
inline constexpr std::size_t kSubjectAndSenderCharacters = 235;
/// The longest name in bytes: a file name holds at most 255 bytes on Linux, and the name must
/// leave room for a uniqueness suffix (" (99999)", 8 bytes) and ".pdf".
inline constexpr std::size_t kMaxNameBytes = 255 - 8 - 4;
/// The name given when nothing of the message's values is left.
inline constexpr const char *kNoSubjectName = "(no subject)";

/// The PDF file name (with ".pdf") for the given values under `option`.
///
/// Values are joined by single blanks and not trimmed. The forbidden characters
/// : ? \ / * " < > | and codes 0 to 31 are removed. The name is then cut to 220 characters
/// (UTF-8 code points) and to kMaxNameBytes bytes, always at a character boundary. A missing
/// date shows as zeros in the option's pattern ("00-00-0000"); an empty name becomes
/// "(no subject)".
std::string composePdfName(NamingOption option, const std::string &subject, const std::string &from,
                           const std::optional<MessageDateTime> &date);

/// Reads from `reader` the values `option` uses (after LoadMessage and OpenMessage on the
/// blank-trimmed `messageFile`) and returns `mailboxFolder` + separator + composePdfName(...).
std::string MakePDFPath(MessageReader &reader, const std::string &messageFile, NamingOption option,
                        const std::string &mailboxFolder);

} // namespace tessaly
