// Where the header block at the start of a message ends, and where each of its fields lies.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

namespace tessaly {

/// One field of a header block, as offsets into the text scanned.
struct HeaderBlockField
{
    std::size_t begin = 0;   ///< where its first line starts
    std::size_t nameEnd = 0; ///< where its name ends, counted from `begin`
    std::size_t end = 0;     ///< past the line break of its last line
};

/// A header block read line by line, as the message parse reads it.
struct HeaderBlockScan
{
    std::vector<HeaderBlockField> fields;
    /// Where a line that is neither a field nor the continuation of one (a blank-only line
    /// included) starts the body; 0 when the text starts with an empty line.
    std::optional<std::size_t> bodyStart;
    /// Where the empty line that ends the block starts, when one does.
    std::optional<std::size_t> blockEnd;
    /// The length of a first line of white space that a field follows, skipped; else 0.
    std::size_t skippedBlankLine = 0;
    /// Where the scan stopped: at the body or the empty line, else at the end of the text.
    std::size_t scanned = 0;
};

/// Scans the header block at the start of `head`. A first line beginning "From " or ">From "
/// is a second envelope line, skipped. When `head` ends inside the block, its last line counts
/// when `lastLineCounts` (a block cut short on purpose), and is left out otherwise.
HeaderBlockScan scanHeaderBlock(std::string_view head, bool lastLineCounts);

} // namespace tessaly
