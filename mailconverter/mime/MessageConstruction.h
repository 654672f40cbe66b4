// GMime messages made from bytes or a stream, with a header block GMime would misread
// repaired first.
#pragma once

#include "mailconverter/mime/HeaderBlockRewrite.h"

#include <gmime/gmime.h>

#include <cstddef>
#include <string>
#include <string_view>

namespace tessaly {

/// 3 when `bytes` start with a UTF-8 byte order mark, else 0.
std::size_t byteOrderMarkLength(std::string_view bytes);

/// The message in `stream`, which starts at its header block; null when GMime finds none.
/// The caller owns the message.
GMimeMessage *constructFromStream(GMimeStream *stream, GMimeParserOptions *options);

/// `bytes` without a byte order mark and with a broken header block repaired: a view of
/// `bytes`, or of `storage` when the block had to be rewritten, whose set-aside fields then
/// go to `setAside`.
std::string_view withRepairedHeaderBlock(std::string_view bytes, std::string &storage, SetAsideHeaders &setAside);

/// A message from memory, with a broken header block repaired first; null when GMime finds
/// none. The caller owns the message, and `*source` (when `source` is given) receives a
/// reference to the stream parsed, which the caller owns as well.
GMimeMessage *constructMessage(std::string_view bytes, GMimeParserOptions *options, SetAsideHeaders &setAside,
                               GMimeStream **source);

} // namespace tessaly
