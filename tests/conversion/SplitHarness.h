// Runs the mailbox reader without a conversion run, collecting the messages it finishes.
#pragma once

#include "conversion/BlockSplitter.h"
#include "conversion/MailboxReader.h"
#include "conversion/MessageFile.h"
#include "tests/TestSupport/TempFolder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tessaly::testing {

/// Where a split message lies in its mailbox, and its digest.
struct SplitPlace
{
    std::uint64_t offset = 0;
    std::uint64_t length = 0;
    std::string sha256;

    friend bool operator==(const SplitPlace &, const SplitPlace &) = default;
};

/// Feeds all of `mailbox` to `reader` in pieces of `pieceSize` bytes, and finishes.
inline void feedInPieces(MailboxReader &reader, std::string_view mailbox, std::size_t pieceSize)
{
    for (std::size_t start = 0; start < mailbox.size(); start += pieceSize)
        reader.feed(mailbox.substr(start, pieceSize));
    reader.finish();
}

/// The places of `mailbox`'s messages in `mode`, fed in pieces of `pieceSize` bytes.
inline std::vector<SplitPlace> splitPlaces(std::string_view mailbox, SplitMode mode, std::size_t pieceSize)
{
    std::vector<SplitPlace> places;
    MailboxReader reader(mode, [&](const SplitMessage &message) {
        places.push_back(SplitPlace{message.offset, message.length, message.sha256});
    });
    feedInPieces(reader, mailbox, pieceSize);
    return places;
}

/// The texts of `mailbox`'s messages in `mode`.
inline std::vector<std::string> splitTexts(std::string_view mailbox, SplitMode mode, std::size_t pieceSize,
                                           std::size_t blockSize)
{
    std::vector<std::string> texts;
    MailboxReader reader(
        mode, [&](const SplitMessage &message) { texts.emplace_back(message.text); }, 0, {}, blockSize);
    feedInPieces(reader, mailbox, pieceSize);
    return texts;
}

/// The texts of `mailbox`'s messages in `mode` as their message files hold them (without the
/// file's final CR LF), holding at most `heldBytes` of a message in memory as a run does.
inline std::vector<std::string> splitToMessageFiles(std::string_view mailbox, SplitMode mode, std::size_t pieceSize,
                                                    std::size_t heldBytes)
{
    TempFolder temp;
    const FolderHandle folder = FolderHandle::open(temp.path()).value();
    std::vector<std::string> texts;
    int number = 0;
    MailboxReader reader(
        mode,
        [&](const SplitMessage &message) {
            EXPECT_LE(message.text.size(), heldBytes);
            Result<FileInFolder> written = writeMessageFile(folder, ++number, message);
            ASSERT_TRUE(written) << written.error().message;
            std::string bytes = folder.read(written.value().name).value();
            texts.push_back(bytes.substr(0, bytes.size() - 2));
            ASSERT_TRUE(removeMessageFile(written.value()));
        },
        0, SpillFiles{[&folder] { return PendingFile::createIn(folder); }, heldBytes});
    feedInPieces(reader, mailbox, pieceSize);
    return texts;
}

/// Splits `mailbox` in line mode, fed in pieces of `pieceSize` bytes.
inline std::vector<std::string> splitInLineMode(std::string_view mailbox, std::size_t pieceSize = 1 << 20)
{
    return splitTexts(mailbox, SplitMode::Line, pieceSize, BlockSplitter::kBlockSize);
}

/// Splits `mailbox` in block mode, in blocks of `blockSize` bytes.
inline std::vector<std::string> splitInBlockMode(std::string_view mailbox,
                                                 std::size_t blockSize = BlockSplitter::kBlockSize)
{
    return splitTexts(mailbox, SplitMode::Block, 1 << 20, blockSize);
}

} // namespace tessaly::testing
