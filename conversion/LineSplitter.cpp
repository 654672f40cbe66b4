#include "conversion/LineSplitter.h"

#include "conversion/LineBreakFinder.h"

namespace tessaly {
namespace {

/// A line's first bytes decide whether it is a separator; past them it is handed on as it
/// comes, so a line of any length costs no memory here.
constexpr std::size_t kDecidingBytes = 5;

} // namespace

LineSplitter::LineSplitter(MessageCollector &collector, std::uint64_t firstOffset, bool cutsAtSeparators)
    : m_collector(collector), m_consumed(firstOffset), m_cutsAtSeparators(cutsAtSeparators)
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
        const std::string_view text = bytes.substr(position, lineBreak - position);
        if (lineBreak == size) {
            takeCutLine(text, m_consumed + position);
            break;
        }
        const std::size_t next = m_lineBreaks.past(bytes, lineBreak);
        if (m_lineOpen)
            m_collector.append(text);
        else
            openLine(text, m_consumed + position);
        m_collector.appendLineBreak(bytes.substr(lineBreak, next - lineBreak));
        m_lineOpen = false;
        position = next;
    }
    m_collector.endOfPiece();
    m_consumed += size;
}

void LineSplitter::finish()
{
    if (!m_lineOpen && !m_lineStart.empty())
        openLine({}, m_lineStartOffset);
    if (m_lineOpen)
        m_collector.appendLineBreak({});
    m_lineOpen = false;
    m_lineBreaks.finish();
    m_collector.finish(m_consumed);
}

void LineSplitter::takeCutLine(std::string_view text, std::uint64_t offset)
{
    if (m_lineOpen) {
        m_collector.append(text);
        return;
    }
    if (m_lineStart.size() + text.size() < kDecidingBytes) {
        if (m_lineStart.empty())
            m_lineStartOffset = offset;
        m_lineStart.append(text);
        return;
    }
    openLine(text, offset);
}

void LineSplitter::openLine(std::string_view text, std::uint64_t offset)
{
    if (m_lineStart.empty()) {
        if (m_cutsAtSeparators && isSeparatorLine(text))
            m_collector.beginMessage(offset);
        m_collector.append(text);
    } else {
        std::string head = m_lineStart;
        head.append(text.substr(0, kDecidingBytes));
        if (m_cutsAtSeparators && isSeparatorLine(head))
            m_collector.beginMessage(m_lineStartOffset);
        m_collector.append(m_lineStart);
        m_collector.append(text);
        m_collector.endOfPiece(); // before the held start's buffer is reused
        m_lineStart.clear();
    }
    m_lineOpen = true;
}

} // namespace tessaly
