#include "conversion/MailboxShards.h"

#include "support/PathHelpers.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace tessaly {
namespace {

constexpr std::string_view kSeparator = "From ";
constexpr std::size_t kSearchPiece = 1 << 20;

/// The first separator at or after `from` in the file, or the file's size.
Result<std::uint64_t> separatorInFileAtOrAfter(std::ifstream &file, std::uint64_t size, std::uint64_t from)
{
    if (from >= size)
        return size;
    // Read from one byte before `from`, to see whether a line starts there.
    std::uint64_t base = from > 0 ? from - 1 : 0;
    std::vector<char> buffer(kSearchPiece);
    for (;;) {
        file.clear();
        file.seekg(static_cast<std::streamoff>(base));
        file.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        if (file.bad())
            return Error{"cannot read the mailbox at byte " + std::to_string(base), FailureKind::Unreadable};
        const auto count = static_cast<std::size_t>(file.gcount());
        const std::string_view piece(buffer.data(), count);
        const std::size_t found =
            separatorAtOrAfter(piece, static_cast<std::size_t>(std::max(from, base) - base), base == 0);
        if (found != std::string_view::npos)
            return base + found;
        if (count <= kSeparator.size() || base + count >= size)
            return size;
        // The next piece overlaps this one, so a separator cut by the piece's end is seen whole.
        base += count - kSeparator.size();
        from = base + 1;
    }
}

} // namespace

std::optional<ShardChoice> parseShardChoice(std::string_view text)
{
    const std::size_t slash = text.find('/');
    if (slash == std::string_view::npos)
        return std::nullopt;
    ShardChoice choice;
    const auto parse = [](std::string_view digits, int &value) {
        const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
        return !digits.empty() && error == std::errc() && end == digits.data() + digits.size();
    };
    if (!parse(text.substr(0, slash), choice.index) || !parse(text.substr(slash + 1), choice.count))
        return std::nullopt;
    if (choice.index < 0 || choice.count < 1 || choice.index >= choice.count)
        return std::nullopt;
    return choice;
}

std::vector<MailboxWork> shardWork(std::vector<MailboxFile> mailboxes, ShardChoice shard, std::uint64_t splitOver)
{
    std::sort(mailboxes.begin(), mailboxes.end(), [](const MailboxFile &a, const MailboxFile &b) {
        return a.path != b.path ? a.path < b.path : a.size < b.size;
    });
    // A mailbox named twice is still one piece of work.
    mailboxes.erase(std::unique(mailboxes.begin(), mailboxes.end(),
                                [](const MailboxFile &a, const MailboxFile &b) { return a.path == b.path; }),
                    mailboxes.end());
    std::vector<std::uint64_t> load(static_cast<std::size_t>(shard.count), 0);
    std::vector<MailboxWork> mine;
    const auto assign = [&](MailboxWork work, std::uint64_t bytes) {
        const auto lightest = std::min_element(load.begin(), load.end());
        *lightest += std::max<std::uint64_t>(bytes, 1);
        if (lightest - load.begin() == shard.index)
            mine.push_back(std::move(work));
    };
    for (const MailboxFile &mailbox : mailboxes) {
        if (splitOver == 0 || mailbox.size <= splitOver) {
            assign(MailboxWork{mailbox.path, std::nullopt}, mailbox.size);
            continue;
        }
        const std::uint64_t pieces = (mailbox.size + splitOver - 1) / splitOver;
        for (std::uint64_t piece = 0; piece < pieces; ++piece) {
            // Computed without overflow for any size: size / pieces * piece + remainder share.
            const auto boundary = [&](std::uint64_t i) {
                return mailbox.size / pieces * i + mailbox.size % pieces * i / pieces;
            };
            const ByteRange range{boundary(piece), boundary(piece + 1)};
            assign(MailboxWork{mailbox.path, range}, range.end - range.start);
        }
    }
    return mine;
}

std::size_t separatorAtOrAfter(std::string_view bytes, std::size_t from, bool startsMailbox)
{
    for (std::size_t i = from; i + kSeparator.size() <= bytes.size(); ++i) {
        i = bytes.find(kSeparator, i);
        if (i == std::string_view::npos)
            return i;
        if (i == 0 ? startsMailbox : (bytes[i - 1] == '\n' || bytes[i - 1] == '\r'))
            return i;
    }
    return std::string_view::npos;
}

Result<ByteRange> alignToSeparators(const std::string &path, ByteRange range)
{
    std::error_code error;
    const auto size = std::filesystem::file_size(toFsPath(path), error);
    if (error)
        return Error{"cannot open the mailbox: " + error.message(), FailureKind::Unreadable};
    std::ifstream file(toFsPath(path), std::ios::binary);
    if (!file)
        return Error{"cannot open the mailbox '" + path + "'", FailureKind::Unreadable};
    ByteRange aligned;
    if (range.start > 0) {
        Result<std::uint64_t> start = separatorInFileAtOrAfter(file, size, range.start);
        if (!start)
            return start.error();
        aligned.start = start.value();
    }
    Result<std::uint64_t> end = separatorInFileAtOrAfter(file, size, range.end);
    if (!end)
        return end.error();
    aligned.end = std::max(aligned.start, end.value());
    return aligned;
}

} // namespace tessaly
