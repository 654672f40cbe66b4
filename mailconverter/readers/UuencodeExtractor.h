// Finds uuencoded files ("begin 644 name" … "end") in a plain-text body.
#pragma once

#include "mailconverter/readers/AttachmentFile.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tessaly {

/// A decoded block larger than this stays in the text, unread.
inline constexpr std::size_t kMaxUudecodedBytes = 64 * 1024 * 1024;

struct UuencodeExtraction
{
    std::string text; ///< the body without the blocks that were decoded
    std::vector<ExtractedAttachment> attachments;
};

/// Decodes every well-formed uuencoded block of `text` into an attachment and removes it
/// from the text. A block is a "begin <octal mode> <name>" line, data lines whose length
/// character matches what follows, and an "end" line. A malformed block (a bad line, no
/// "end", too large) is left in the text as it was.
UuencodeExtraction extractUuencodedFiles(std::string_view text);

} // namespace tessaly
