#include "conversion/MailboxReader.h"

#include "conversion/MailboxProbe.h"

#include <utility>

namespace tessaly {
namespace {

std::variant<LineSplitter, BlockSplitter> makeSplitter(SplitMode mode, MessageCollector &collector,
                                                       std::uint64_t firstOffset)
{
    if (mode == SplitMode::Block)
        return std::variant<LineSplitter, BlockSplitter>(std::in_place_type<BlockSplitter>, collector, firstOffset);
    return std::variant<LineSplitter, BlockSplitter>(std::in_place_type<LineSplitter>, collector, firstOffset,
                                                     mode != SplitMode::Whole);
}

} // namespace

SplitMode MailboxReader::ReadMBOXFile(const std::string &FileName)
{
    return splitModeOf(readProbeBytes(FileName));
}

SplitMode MailboxReader::splitModeOf(std::string_view firstBytes)
{
    return probeMailboxStart(firstBytes).mailboxKind == MailboxKind::NotNormal ? SplitMode::Block : SplitMode::Line;
}

MailboxReader::MailboxReader(SplitMode mode, MessageSink sink, std::uint64_t firstOffset, SpillFiles spill,
                             std::size_t blockSize)
    : m_collector(std::move(sink), std::move(spill)), m_blockSize(blockSize),
      m_splitter(makeSplitter(mode, m_collector, firstOffset))
{
}

void MailboxReader::feed(std::string_view bytes)
{
    if (std::holds_alternative<LineSplitter>(m_splitter)) {
        std::get<LineSplitter>(m_splitter).feed(bytes);
        return;
    }
    for (std::size_t start = 0; start < bytes.size(); start += m_blockSize)
        SaveMBOXFile(bytes.substr(start, m_blockSize));
}

void MailboxReader::finish()
{
    std::visit([](auto &splitter) { splitter.finish(); }, m_splitter);
}

Result<void> MailboxReader::readToEnd(MailboxFileReader &file, const std::function<void(std::uint64_t)> &progressed,
                                      const std::function<bool()> &stop)
{
    for (;;) {
        Result<std::string_view> chunk = file.readChunk();
        if (!chunk)
            return chunk.error();
        if (chunk.value().empty())
            break;
        feed(chunk.value());
        if (progressed)
            progressed(file.bytesRead());
        if (stop && stop())
            return {};
    }
    finish();
    return {};
}

void MailboxReader::SaveMBOXFile(std::string_view mboxFileText)
{
    std::get<BlockSplitter>(m_splitter).feedBlock(mboxFileText);
}

} // namespace tessaly
