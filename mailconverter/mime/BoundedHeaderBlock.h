// A message's header block read before GMime parses it, with no field held past a bound.
#pragma once

#include "mailconverter/mime/HeaderBlockRewrite.h"
#include "mailconverter/mime/MailMessage.h"
#include "support/OpenFile.h"
#include "support/Result.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessaly {

/// A header field is read to at most this many bytes, its name and line breaks included: a
/// longer one costs no more than this to parse, decode and show.
inline constexpr std::size_t kMaxHeaderFieldBytes = 1 << 20;

/// A field that readBoundedHeaderBlock cut.
struct HeaderFieldCutPlace
{
    CutHeaderField field;
    std::size_t textEnd = 0;  ///< where what was kept of it ends in BoundedHeaderBlock::text
    std::uint64_t rawEnd = 0; ///< where the field ends in the bytes read
};

/// The start of a message as read for parsing.
struct BoundedHeaderBlock
{
    /// The bytes read, in order, but for each field longer than kMaxHeaderFieldBytes, of which
    /// only what cutHeaderField keeps is here, with a line break. Ends with the rest of the
    /// chunk that held the block's end.
    std::string text;
    std::vector<HeaderFieldCutPlace> cuts; ///< in their order
    /// Whether the bytes ended inside the header block (a message of headers only).
    bool reachedEnd = false;

    /// The offset in the bytes read that the offset `textOffset` of `text` stands for. Offsets
    /// inside what was kept of a cut field are not asked for: no line starts there.
    std::uint64_t rawOffset(std::size_t textOffset) const;
};

/// Reads the header block from `file`'s position in chunks, up to the empty line that ends it,
/// or the file's end; past 8 MB, also up to a line that ends it by being no header field. A
/// field longer than kMaxHeaderFieldBytes is cut by cutHeaderField, and the rest of it is
/// counted, never held. Check ferror(file) after.
BoundedHeaderBlock readBoundedHeaderBlock(std::FILE *file);

/// `field`, its name, colon and value (folding included, without its final line break), cut
/// to at most `maxBytes` bytes where what is kept still decodes: never inside a UTF-8
/// character, nor inside an RFC 2047 encoded word, which is left out whole, or, when it is
/// itself too long for that, closed at a boundary of its encoding (and of its characters, in
/// UTF-8); and without the blanks or line breaks of a fold at its end. Unchanged when it fits.
std::string cutHeaderField(std::string_view field, std::size_t maxBytes);

/// What of a header block was cut for parsing.
struct HeaderBlockCuts
{
    std::vector<CutHeaderField> fields; ///< the fields of the header block that were cut
    std::uint64_t blockBytes = 0;       ///< the block's length in the bytes read, when one was
};

/// The rewrite GMime reads in place of the start of `head.text` past its first `skip` bytes (a
/// byte order mark): rewriteHeaderBlock's, with `replaced` counted in the bytes read, and
/// made whenever a field of the header block was cut, so that GMime never reads that field
/// whole. `cuts` receives those fields (lines cut past the block's end are body lines, which
/// GMime reads from the file as they are). nullopt when GMime may read the bytes as they are.
std::optional<HeaderBlockRewrite> rewriteBoundedHeaderBlock(const BoundedHeaderBlock &head, std::size_t skip,
                                                            HeaderBlockCuts &cuts);

/// The whole header block of `message`, which had a field cut, from `file`, the message file
/// it was read from. Fails with the file and the system's reason.
Result<std::string> readWholeHeaderBlock(const OpenFile &file, const MailMessage &message);

} // namespace tessaly
