// Shards: every message of every mailbox falls to exactly one of N processes.
#include "conversion/MailboxShards.h"

#include "conversion/LineSplitter.h"
#include "conversion/MessageCollector.h"
#include "tests/TestSupport/TempFolder.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <utility>

using namespace tessaly;
using namespace tessaly::testing;

namespace {

using Messages = std::vector<std::pair<std::uint64_t, std::string>>;

/// The messages of `bytes`, read as a mailbox range starting at `firstOffset`.
Messages split(std::string_view bytes, std::uint64_t firstOffset)
{
    Messages messages;
    MessageCollector collector(
        [&](const SplitMessage &message) { messages.emplace_back(message.offset, std::string(message.text)); });
    LineSplitter splitter(collector, firstOffset);
    splitter.feed(bytes);
    splitter.finish();
    return messages;
}

/// A mailbox of short messages whose separators land at every distance from the range
/// boundaries, with every kind of line break and lines that only look like separators.
std::string randomMailbox(std::mt19937 &random)
{
    static const std::vector<std::string> lineBreaks{"\n", "\r\n", "\r"};
    static const std::vector<std::string> bodyLines{"x", ">From here", "From", "FromX", " From ", "", "Fro"};
    std::string mailbox = random() % 3 == 0 ? "preamble\n" : "";
    const int count = 1 + static_cast<int>(random() % 12);
    for (int i = 0; i < count; ++i) {
        const std::string &lineBreak = lineBreaks[random() % lineBreaks.size()];
        mailbox += "From a" + lineBreak;
        for (int line = static_cast<int>(random() % 4); line > 0; --line)
            mailbox += bodyLines[random() % bodyLines.size()] + lineBreaks[random() % lineBreaks.size()];
    }
    if (random() % 2 == 0)
        mailbox += "no final line break";
    return mailbox;
}

} // namespace

TEST(MailboxShards, ShardChoiceIsKOfNWithKBelowN)
{
    ASSERT_TRUE(parseShardChoice("0/1").has_value());
    EXPECT_EQ(parseShardChoice("3/4")->index, 3);
    EXPECT_EQ(parseShardChoice("3/4")->count, 4);
    for (const char *bad : {"4/4", "-1/4", "1/0", "1", "a/2", "1/2/3", "/2", "1/"})
        EXPECT_FALSE(parseShardChoice(bad).has_value()) << bad;
}

TEST(MailboxShards, EveryMessageFallsToExactlyOneShardWhereverTheRangesCut)
{
    TempFolder temp;
    std::mt19937 random(20261208);
    for (int round = 0; round < 300; ++round) {
        const std::string big = randomMailbox(random);
        const std::string small = randomMailbox(random);
        const std::vector<MailboxFile> files{{temp.write("b.mbox", big), big.size()},
                                             {temp.write("a.mbox", small), small.size()}};
        const std::map<std::string, std::string> contents{{files[0].path, big}, {files[1].path, small}};
        const int shardCount = 1 + static_cast<int>(random() % 5);
        const std::uint64_t splitOver = 1 + random() % 40;

        std::map<std::string, Messages> together;
        for (int shard = 0; shard < shardCount; ++shard) {
            for (const MailboxWork &work : shardWork(files, ShardChoice{shard, shardCount}, splitOver)) {
                const std::string &bytes = contents.at(work.path);
                ByteRange range{0, bytes.size()};
                if (work.range) {
                    Result<ByteRange> aligned = alignToSeparators(work.path, *work.range);
                    ASSERT_TRUE(aligned);
                    range = aligned.value();
                }
                const Messages part =
                    split(std::string_view(bytes).substr(range.start, range.end - range.start), range.start);
                together[work.path].insert(together[work.path].end(), part.begin(), part.end());
            }
        }
        for (const auto &[path, bytes] : contents) {
            Messages messages = together[path];
            std::sort(messages.begin(), messages.end());
            ASSERT_EQ(messages, split(bytes, 0))
                << "round " << round << ", " << shardCount << " shards, split over " << splitOver;
        }
    }
}

TEST(MailboxShards, ASeparatorCutByTheSearchPieceIsStillFound)
{
    TempFolder temp;
    // The search reads 1 MiB at a time; put a separator across that edge.
    std::string mailbox = "From a\n" + std::string((1 << 20) - 9, 'x') + "\nFrom b\nbody\n";
    const std::string path = temp.write("box.mbox", mailbox);
    const std::uint64_t second = mailbox.find("\nFrom b") + 1;
    const Result<ByteRange> aligned = alignToSeparators(path, ByteRange{100, 200});
    ASSERT_TRUE(aligned);
    EXPECT_EQ(aligned.value().start, second);
    EXPECT_EQ(aligned.value().end, second);
    EXPECT_EQ(alignToSeparators(path, ByteRange{second + 1, mailbox.size() + 5}).value(),
              (ByteRange{mailbox.size(), mailbox.size()}));
}
