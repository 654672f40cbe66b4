// Reads a mailbox file in large chunks, so reading costs little next to splitting.
#pragma once

#include "support/Result.h"

#include <cstdint>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tessaly {

/// Bytes [start, end) of a mailbox.
struct ByteRange
{
    std::uint64_t start = 0;
    std::uint64_t end = 0;

    friend bool operator==(const ByteRange &, const ByteRange &) = default;
};

class MailboxFileReader
{
public:
    static constexpr std::size_t kChunkSize = 1 << 20;

    /// Opens the mailbox at `path` (UTF-8). Fails, with the reason, for a missing file, a
    /// folder, or a file that cannot be opened.
    static Result<MailboxFileReader> open(const std::string &path);
    /// Opens the mailbox to read only the bytes of `range` (cut to the file's size).
    static Result<MailboxFileReader> open(const std::string &path, ByteRange range);

    /// Reads on from the start of `range` (cut to the file's size), only its bytes, counting
    /// them from there: a file opened once serves each part of the work on it in turn. An end
    /// of kToEnd reads to the file's end, however large it has grown.
    Result<void> restrictTo(ByteRange range);
    static constexpr std::uint64_t kToEnd = UINT64_MAX;

    /// Where the first byte read lies in the file.
    std::uint64_t startOffset() const { return m_start; }

    /// The bytes to read: the file's size, or the range's.
    std::uint64_t size() const { return m_size; }
    /// Bytes read so far, counted from `startOffset`.
    std::uint64_t bytesRead() const { return m_bytesRead; }

    /// The next chunk of the file, empty at its end. The view is valid until the next call.
    Result<std::string_view> readChunk();

private:
    MailboxFileReader(std::string path, std::unique_ptr<std::ifstream> file, std::uint64_t size);

    std::string m_path;
    std::unique_ptr<std::ifstream> m_file;
    std::vector<char> m_buffer;
    std::uint64_t m_fileSize = 0; ///< when it was opened
    std::uint64_t m_size = 0;
    std::uint64_t m_start = 0;
    /// Bytes to read at most; the whole file reads to its end, however large it has grown.
    std::uint64_t m_limit = UINT64_MAX;
    std::uint64_t m_bytesRead = 0;
};

} // namespace tessaly
