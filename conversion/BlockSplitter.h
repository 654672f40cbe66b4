// Block mode: cuts a mailbox into messages, reading it in fixed blocks.
#pragma once

#include "conversion/LineBreakFinder.h"
#include "conversion/MessageCollector.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tessaly {

/// Reads a mailbox block by block and starts a message at every line that begins with
/// "From " (a line feed followed by "From ", or the same after CR or CR LF, or at the start).
///
/// Every separator counts: several in one block, and one cut anywhere by a block boundary.
/// Every line break (CR, LF, CR LF, also a CR LF pair split between two blocks) becomes
/// CR LF. So for the same mailbox it gives exactly the messages of line mode; only the way of
/// reading differs.
class BlockSplitter
{
public:
    /// The size of the blocks a mailbox is read in.
    static constexpr std::size_t kBlockSize = 518;

    /// `firstOffset`: where in the mailbox the first byte fed lies (a range read on its own).
    explicit BlockSplitter(MessageCollector &collector, std::uint64_t firstOffset = 0);

    /// Reads the next block (of any size; the run uses kBlockSize). Returns the position,
    /// from 1, of the line feed of the first separator that lies wholly inside the block,
    /// 0 if there is none.
    std::size_t feedBlock(std::string_view block);
    /// End of the mailbox: finishes the message in hand.
    void finish();

private:
    void flushHeldPrefix();

    MessageCollector &m_collector;
    /// The start of a line that may yet turn out to be a separator: at most "From", cut by
    /// the end of the previous block.
    std::string m_heldPrefix;
    std::uint64_t m_heldOffset = 0;
    std::uint64_t m_consumed = 0;
    bool m_atLineStart = true;
    LineBreakStepper m_lineBreaks;
};

} // namespace tessaly
