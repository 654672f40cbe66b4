// Bytes to be written somewhere: held in memory, or a range of an open file that is copied
// in bounded chunks, so that a large PDF or attachment never has to be in memory at once.
#pragma once

#include "support/OpenFile.h"
#include "support/Result.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace tessaly {

/// A PDF or a file to save, as a converter hands it to the commit. Copies share a file.
class ByteSource
{
public:
    /// The most bytes copyTo hands on at once, and holds, for bytes in a file.
    static constexpr std::size_t kChunkBytes = 1 << 20;

    ByteSource() = default;
    /// Bytes in memory.
    ByteSource(std::string bytes) : m_bytes(std::move(bytes)) {}
    ByteSource(const char *bytes) : m_bytes(bytes) {}
    /// `length` bytes at `offset` of `file`, which the source shares with its copies. The
    /// caller has checked that they lie within the file.
    static ByteSource inFile(std::shared_ptr<const OpenFile> file, std::uint64_t offset, std::uint64_t length);

    std::uint64_t size() const { return m_file ? m_length : m_bytes.size(); }

    /// Hands the bytes to `write` in order, in chunks of at most kChunkBytes for bytes in a
    /// file; stops at the first error, its own (a file that ends early) or `write`'s.
    Result<void> copyTo(const std::function<Result<void>(std::string_view)> &write) const;
    /// All the bytes in memory.
    Result<std::string> read() const;

private:
    std::string m_bytes;
    std::shared_ptr<const OpenFile> m_file;
    std::uint64_t m_offset = 0;
    std::uint64_t m_length = 0;
};

} // namespace tessaly
