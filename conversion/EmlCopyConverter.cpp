#include "conversion/EmlCopyConverter.h"

#include "support/ByteSource.h"
#include "support/FileMark.h"
#include "support/PathHelpers.h"
#include "support/PendingFile.h"
#include "support/Sha256.h"

#include <memory>

namespace tessaly {
namespace {

constexpr std::string_view kEnvelopeStart = "From ";

/// How many bytes the mailbox's "From " envelope line takes at the start of `file` (of `size`
/// bytes), its line feed included; 0 when the file does not start with one.
Result<std::uint64_t> envelopeLineLength(const OpenFile &file, std::uint64_t size)
{
    std::string chunk(ByteSource::kChunkBytes, '\0');
    for (std::uint64_t offset = 0; offset < size;) {
        Result<std::size_t> read = file.readAt(offset, chunk.data(), chunk.size());
        if (!read)
            return read.error();
        if (read.value() == 0)
            break;
        const std::string_view bytes(chunk.data(), read.value());
        if (offset == 0 && !bytes.starts_with(kEnvelopeStart))
            return 0;
        if (const std::size_t lineEnd = bytes.find('\n'); lineEnd != std::string_view::npos)
            return offset + lineEnd + 1;
        offset += read.value();
    }
    return size;
}

} // namespace

std::string emlDestination(const std::string &destination)
{
    constexpr std::string_view kPdf = ".pdf";
    if (destination.size() >= kPdf.size() &&
        destination.compare(destination.size() - kPdf.size(), kPdf.size(), kPdf) == 0)
        return destination.substr(0, destination.size() - kPdf.size()) + ".eml";
    return destination + ".eml";
}

Result<ConvertedMessage> EmlCopyConverter::Convert(const FileInFolder &source, const FileInFolder &destination,
                                                   const std::string &options)
{
    (void)options;
    Result<OpenFile> opened = source.folder.openForReading(source.name);
    if (!opened)
        return opened.error();
    auto file = std::make_shared<const OpenFile>(std::move(opened).value());
    Result<std::uint64_t> size = file->size();
    if (!size)
        return size.error();
    // Mail programs do not expect the mailbox's "From " envelope line in a message file.
    Result<std::uint64_t> start = envelopeLineLength(*file, size.value());
    if (!start)
        return start.error();
    Result<PendingFile> pending = PendingFile::createIn(destination.folder);
    if (!pending)
        return pending.error();
    // In bounded chunks: a message may be larger than memory.
    const ByteSource message = ByteSource::inFile(file, start.value(), size.value() - start.value());
    Sha256 digest;
    if (Result<void> written = message.copyTo([&](std::string_view bytes) {
            digest.add(bytes);
            return pending.value().write(bytes);
        });
        !written)
        return written.error();
    Result<std::string> committed =
        pending.value().commitAs(emlDestination(destination.name), Durability::Durable,
                                 CommitMark{messageMark(digest.hexDigest(), source.name), m_takesBackOutputs});
    if (!committed)
        return committed.error();
    // Durable before the message's source may go (see commitRenderedMessage).
    if (Result<void> synced = destination.folder.sync(); !synced) {
        (void)destination.folder.remove(committed.value()); // one that won't go stays; the source is kept
        return synced.error();
    }
    return ConvertedMessage{destination.folder.pathOf(committed.value()), 0, 0, {}};
}

} // namespace tessaly
