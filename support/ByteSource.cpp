#include "support/ByteSource.h"

#include <algorithm>

namespace tessaly {

ByteSource ByteSource::inFile(std::shared_ptr<const OpenFile> file, std::uint64_t offset, std::uint64_t length)
{
    ByteSource source;
    source.m_file = std::move(file);
    source.m_offset = offset;
    source.m_length = length;
    return source;
}

Result<void> ByteSource::copyTo(const std::function<Result<void>(std::string_view)> &write) const
{
    if (!m_file)
        return write(m_bytes);
    std::string chunk(static_cast<std::size_t>(std::min<std::uint64_t>(m_length, kChunkBytes)), '\0');
    for (std::uint64_t done = 0; done < m_length;) {
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(m_length - done, chunk.size()));
        Result<std::size_t> got = m_file->readAt(m_offset + done, chunk.data(), want);
        if (!got)
            return got.error();
        if (got.value() == 0)
            return Error{"cannot read '" + m_file->name() + "': it ends before byte " +
                             std::to_string(m_offset + m_length),
                         FailureKind::Unreadable};
        if (Result<void> written = write(std::string_view(chunk.data(), got.value())); !written)
            return written;
        done += got.value();
    }
    return {};
}

Result<std::string> ByteSource::read() const
{
    if (!m_file)
        return m_bytes;
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(m_length));
    Result<void> copied = copyTo([&bytes](std::string_view chunk) -> Result<void> {
        bytes += chunk;
        return {};
    });
    if (!copied)
        return copied.error();
    return bytes;
}

} // namespace tessaly
