// Reads a mailbox file in large chunks, so reading costs little next to splitting.
#pragma once

#include "Result.h"

#include <cstdint>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tessaly {

class MailboxFileReader
{
public:
    static constexpr std::size_t kChunkSize = 1 << 20;

    /// Opens the mailbox at `path` (UTF-8). Fails, with the reason, for a missing file, a
    /// folder, or a file that cannot be opened.
    static Result<MailboxFileReader> open(const std::string &path);

    std::uint64_t size() const { return m_size; }
    std::uint64_t bytesRead() const { return m_bytesRead; }

    /// The next chunk of the file, empty at its end. The view is valid until the next call.
    Result<std::string_view> readChunk();

private:
    MailboxFileReader(std::string path, std::unique_ptr<std::ifstream> file, std::uint64_t size);

    std::string m_path;
    std::unique_ptr<std::ifstream> m_file;
    std::vector<char> m_buffer;
    std::uint64_t m_size = 0;
    std::uint64_t m_bytesRead = 0;
};

} // namespace tessaly
