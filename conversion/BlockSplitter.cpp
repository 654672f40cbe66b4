#include "conversion/BlockSplitter.h"

#include "conversion/LineBreakFinder.h"

#include <algorithm>

namespace tessaly {
namespace {

constexpr std::string_view kSeparator = "From ";

} // namespace

BlockSplitter::BlockSplitter(MessageCollector &collector, std::uint64_t firstOffset)
    : m_collector(collector), m_consumed(firstOffset)
{
    m_heldPrefix.reserve(kSeparator.size());
}

std::size_t BlockSplitter::feedBlock(std::string_view block)
{
    const std::size_t size = block.size();
    std::size_t position = m_lineBreaks.start(block);
    if (position > 0)
        m_collector.appendRestOfLineBreak(block.substr(0, position));
    std::size_t firstSeparator = 0;

    LineBreakFinder finder(block);
    while (position < size) {
        if (m_atLineStart) {
            const std::size_t wanted = kSeparator.size() - m_heldPrefix.size();
            const std::size_t available = std::min(wanted, size - position);
            if (block.compare(position, available, kSeparator.substr(m_heldPrefix.size(), available)) != 0) {
                flushHeldPrefix();
                m_atLineStart = false;
            } else if (available < wanted) {
                // The block ends inside what may be a separator; the next block decides.
                if (m_heldPrefix.empty())
                    m_heldOffset = m_consumed + position;
                m_heldPrefix.append(block.substr(position));
                break;
            } else {
                const bool heldPart = !m_heldPrefix.empty();
                if (!heldPart && firstSeparator == 0 && position > 0 && block[position - 1] == '\n')
                    firstSeparator = position;
                m_collector.beginMessage(heldPart ? m_heldOffset : m_consumed + position);
                flushHeldPrefix();
                m_atLineStart = false;
            }
        }

        const std::size_t lineBreak = finder.next(position);
        m_collector.append(block.substr(position, lineBreak - position));
        if (lineBreak == size)
            break;
        const std::size_t next = m_lineBreaks.past(block, lineBreak);
        m_collector.appendLineBreak(block.substr(lineBreak, next - lineBreak));
        m_atLineStart = true;
        position = next;
    }
    m_collector.endOfPiece();
    m_consumed += size;
    return firstSeparator;
}

void BlockSplitter::finish()
{
    flushHeldPrefix();
    m_lineBreaks.finish();
    m_collector.finish(m_consumed);
}

void BlockSplitter::flushHeldPrefix()
{
    if (m_heldPrefix.empty())
        return;
    m_collector.append(m_heldPrefix);
    m_collector.endOfPiece(); // before the prefix's buffer is reused
    m_heldPrefix.clear();
}

} // namespace tessaly
