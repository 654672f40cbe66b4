#include "conversion/MailboxFileReader.h"

#include "support/PathHelpers.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace tessaly {

MailboxFileReader::MailboxFileReader(std::string path, std::unique_ptr<std::ifstream> file, std::uint64_t size)
    : m_path(std::move(path)), m_file(std::move(file)), m_fileSize(size), m_size(size)
{
}

Result<MailboxFileReader> MailboxFileReader::open(const std::string &path)
{
    const std::filesystem::path fsPath = toFsPath(path);
    std::error_code error;
    const auto status = std::filesystem::status(fsPath, error);
    if (error || !std::filesystem::exists(status))
        return Error{"cannot open the mailbox: " + (error ? error.message() : std::string("no such file")),
                     FailureKind::Unreadable};
    if (std::filesystem::is_directory(status))
        return Error{"cannot open the mailbox: it is a folder", FailureKind::NotAMailbox};
    const std::uintmax_t size = std::filesystem::file_size(fsPath, error);

    auto file = std::make_unique<std::ifstream>(fsPath, std::ios::binary);
    if (!*file)
        return Error{"cannot open the mailbox: " + std::generic_category().message(errno), FailureKind::Unreadable};
    return MailboxFileReader(path, std::move(file), error ? 0 : static_cast<std::uint64_t>(size));
}

Result<MailboxFileReader> MailboxFileReader::open(const std::string &path, ByteRange range)
{
    Result<MailboxFileReader> opened = open(path);
    if (!opened)
        return opened;
    if (Result<void> restricted = opened.value().restrictTo(range); !restricted)
        return restricted.error();
    return opened;
}

Result<void> MailboxFileReader::restrictTo(ByteRange range)
{
    const std::uint64_t end = std::min(range.end, m_fileSize);
    m_start = std::min(range.start, end);
    m_size = end - m_start;
    m_limit = range.end == kToEnd ? kToEnd : m_size;
    m_bytesRead = 0;
    m_file->clear();
    m_file->seekg(static_cast<std::streamoff>(m_start));
    if (!*m_file)
        return Error{"cannot read the mailbox at byte " + std::to_string(m_start), FailureKind::Unreadable};
    return {};
}

Result<std::string_view> MailboxFileReader::readChunk()
{
    if (m_buffer.empty())
        m_buffer.resize(kChunkSize);
    const std::uint64_t wanted = std::min<std::uint64_t>(m_buffer.size(), m_limit - std::min(m_limit, m_bytesRead));
    if (wanted == 0)
        return std::string_view();
    m_file->read(m_buffer.data(), static_cast<std::streamsize>(wanted));
    const auto count = static_cast<std::size_t>(m_file->gcount());
    if (m_file->bad())
        return Error{"cannot read the mailbox at byte " + std::to_string(m_bytesRead), FailureKind::Unreadable};
    m_bytesRead += count;
    return std::string_view(m_buffer.data(), count);
}

} // namespace tessaly
