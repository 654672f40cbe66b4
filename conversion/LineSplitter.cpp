#include "conversion/LineSplitter.h"

#include "conversion/LineBreakFinder.h"

namespace tessaly {
namespace {

/// A line longer than this gives its room back once taken, so one huge line does not keep
/// its memory for the rest of the mailbox.
constexpr std::size_t kKeptLineRoom = 1 << 20;

} // namespace

LineSplitter::LineSplitter(MessageCollector &collector, std::uint64_t firstOffset)
    : m_collector(collector), m_consumed(firstOffset)
{
}

void LineSplitter::feed(std::string_view bytes)
{
    const std::size_t size = bytes.size();
    std::size_t position = m_lineBreaks.start(bytes);
    if (position > 0)
        m_collector.appendRestOfLineBreak(bytes.substr(0, position));

    LineBreakFinder finder(bytes);
    while (position < size) {
        const std::size_t lineBreak = finder.next(position);
        if (lineBreak == size) {
            if (!m_hasPartialLine) {
                m_partialOffset = m_consumed + position;
                m_hasPartialLine = true;
            }
            m_partialLine.append(bytes.substr(position));
            break;
        }
        const std::size_t next = m_lineBreaks.past(bytes, lineBreak);
        const std::string_view rawBreak = bytes.substr(lineBreak, next - lineBreak);
        if (m_hasPartialLine) {
            m_partialLine.append(bytes.substr(position, lineBreak - position));
            takeLine(m_partialLine, m_partialOffset, rawBreak);
        } else {
            takeLine(bytes.substr(position, lineBreak - position), m_consumed + position, rawBreak);
        }
        position = next;
    }
    m_collector.endOfPiece();
    m_consumed += size;
}

void LineSplitter::finish()
{
    if (m_hasPartialLine)
        takeLine(m_partialLine, m_partialOffset, {});
    m_lineBreaks.finish();
    m_collector.finish(m_consumed);
}

void LineSplitter::takeLine(std::string_view line, std::uint64_t offset, std::string_view rawBreak)
{
    if (isSeparatorLine(line))
        m_collector.beginMessage(offset);
    m_collector.append(line);
    m_collector.appendLineBreak(rawBreak);
    if (m_hasPartialLine) {
        m_collector.endOfPiece(); // before the line's buffer is reused
        m_hasPartialLine = false;
        if (m_partialLine.capacity() > kKeptLineRoom)
            std::string().swap(m_partialLine);
        else
            m_partialLine.clear();
    }
}

} // namespace tessaly
