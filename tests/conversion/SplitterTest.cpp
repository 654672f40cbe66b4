// Line mode and block mode: where messages begin and end, and what their texts hold.
#include "conversion/MailboxProbe.h"
#include "conversion/MailboxStartCheck.h"
#include "support/Sha256.h"
#include "tests/conversion/SplitHarness.h"

#include <gtest/gtest.h>
#include <random>

using namespace tessaly;
using namespace tessaly::testing;

namespace {

using Messages = std::vector<std::string>;

/// Both modes must give `expected`; line mode is also fed in awkward piece sizes.
void expectBothModes(const std::string &mailbox, const Messages &expected)
{
    EXPECT_EQ(splitInBlockMode(mailbox), expected) << "block mode";
    EXPECT_EQ(splitInLineMode(mailbox), expected) << "line mode";
    EXPECT_EQ(splitInLineMode(mailbox, 1), expected) << "line mode, one byte at a time";
    EXPECT_EQ(splitInLineMode(mailbox, 7), expected) << "line mode, seven bytes at a time";
}

// A mailbox: messages of lines, written with one kind of line end.
struct Mailbox
{
    std::string bytes;
    Messages expected;
};

Mailbox buildMailbox(const std::vector<std::vector<std::string>> &messages, const std::string &lineEnd,
                     bool finalLineEnd = true)
{
    Mailbox mailbox;
    for (std::size_t m = 0; m < messages.size(); ++m) {
        std::string expected;
        for (std::size_t l = 0; l < messages[m].size(); ++l) {
            mailbox.bytes += messages[m][l];
            const bool last = m + 1 == messages.size() && l + 1 == messages[m].size();
            // An empty last line exists only through its line end.
            if (!last || finalLineEnd || messages[m][l].empty())
                mailbox.bytes += lineEnd;
            expected += messages[m][l] + "\r\n";
        }
        mailbox.expected.push_back(expected);
    }
    return mailbox;
}

const std::vector<std::string> kLineEnds = {"\n", "\r\n", "\r"};

} // namespace

TEST(MailboxStartCheck, RegressionAMessageSavedAloneOrAfterLeadingTextIsMailAndBinaryDataIsNot)
{
    using enum MailboxContent;
    const std::string nulInBody = "From a\n" + std::string("x\0y", 3) + "\n";
    const std::string longHeaderBlock = "Subject: " + std::string(kBinaryCheckBytes, 'x') + std::string("\0", 1);
    const struct
    {
        const char *name;
        std::string start;
        MailboxContent content;
        std::uint64_t firstEnvelopeLine = 0;
    } cases[] = {
        {"empty file", "", Empty},
        {"white space only", " \r\n\t\n\n  ", Empty},
        {"a byte-order mark only", "\xEF\xBB\xBF\n", Empty},
        {"mail", "From a@b Mon Jan  2 10:00:00 2023\nSubject: x\n", Mail},
        {"mail after a mark and blank lines", "\xEF\xBB\xBF\r\n \r\nFrom a\r\n", Mail},
        {"mail whose message holds a NUL", nulInBody, Mail},
        {"a message saved alone", "From: a@b\nSubject: x\n\nbody\n", HeaderBlockFirst},
        {"a header block, then envelope lines", "Subject: x\r\n\r\nbody\r\nFrom a\r\n", HeaderBlockFirst},
        {"a header block past the binary check", longHeaderBlock, HeaderBlockFirst},
        {"leading text, then envelope lines", "readme\nFrom here on\n", LeadingText, 7},
        {"leading text with CR line ends", "exported\r\rFrom a\r", LeadingText, 10},
        {"an indented From line, then one", "  From a\nFrom b\n", LeadingText, 9},
        {"a part of a mark, then an envelope line", "\xEF\xBB\nFrom a\n", LeadingText, 3},
        {"leading text alone", "readme\nnothing here\n", NotAMailbox},
        {"an indented From line alone", "  From a\n", NotAMailbox},
        {"a cut-off From", "From", NotAMailbox},
        {"a field name without its colon", "Subject", NotAMailbox},
        {"a part of a mark", "\xEF\xBB", NotAMailbox},
        {"a PNG", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16), NotAMailbox},
        {"a tar of mailboxes", "box.mbox" + std::string(8, '\0') + "\nFrom a\n", NotAMailbox},
    };
    for (const auto &testCase : cases) {
        const MailboxStart whole = classifyMailboxStart(testCase.start);
        EXPECT_EQ(whole.content, testCase.content) << testCase.name;
        EXPECT_EQ(whole.firstEnvelopeLine, testCase.firstEnvelopeLine) << testCase.name;
        EXPECT_EQ(whole.reason.empty(), testCase.content != NotAMailbox) << testCase.name;
        MailboxStartCheck byteByByte;
        for (const char byte : testCase.start)
            byteByByte.feed(std::string_view(&byte, 1));
        EXPECT_EQ(byteByByte.result().content, testCase.content) << testCase.name << ", fed byte by byte";
        EXPECT_EQ(byteByByte.result().firstEnvelopeLine, testCase.firstEnvelopeLine) << testCase.name;
    }
}

TEST(MailboxProbe, ChoosesBlockModeOnlyForALineFeedInTheFirst512Bytes)
{
    EXPECT_EQ(probeMailboxStart("From a\r\nSubject: x\r\n").mailboxKind, MailboxKind::NotNormal);
    EXPECT_EQ(probeMailboxStart("From a\rSubject: x\r").mailboxKind, MailboxKind::Normal);
    EXPECT_EQ(probeMailboxStart("").mailboxKind, MailboxKind::Normal);
    EXPECT_EQ(probeMailboxStart("").fromPosition, 0);

    const ProbeResult leadingLineFeed = probeMailboxStart("\nFrom a\n");
    EXPECT_EQ(leadingLineFeed.mailboxKind, MailboxKind::NotNormal);
    EXPECT_EQ(leadingLineFeed.fromPosition, 1);

    const std::string longFirstLine = "From " + std::string(kProbeSize, 'x') + "\nbody\n";
    EXPECT_EQ(probeMailboxStart(longFirstLine).mailboxKind, MailboxKind::Normal);
    const std::string lineFeedAt512 = std::string(kProbeSize - 1, 'x') + "\n";
    EXPECT_EQ(probeMailboxStart(lineFeedAt512).fromPosition, 512);
}

TEST(Splitters, WhereMessagesBeginAndEnd)
{
    const Mailbox onlyFromBlank = buildMailbox(
        {{"From a", "From: Ann", "from lower case", " From indented", "From", ">From quoted", "From:colon"},
         {"From b", "body"}},
        "\n");
    struct Case
    {
        const char *what;
        std::string mailbox;
        Messages expected;
    };
    const Case cases[] = {
        {"only lines beginning with \"From \" separate", onlyFromBlank.bytes, onlyFromBlank.expected},
        {"a body line beginning with \"From \" splits the message",
         "From a\nhello\nFrom here on\nbye\n",
         {"From a\r\nhello\r\n", "From here on\r\nbye\r\n"}},
        {"regression: every separator in one block counts",
         "From a\nx\nFrom b\ny\nFrom c\nz\n",
         {"From a\r\nx\r\n", "From b\r\ny\r\n", "From c\r\nz\r\n"}},
        {"regression: a block holding a separator has its line breaks rewritten",
         "From a\nb\r\nc\rd\nFrom b\ne\n",
         {"From a\r\nb\r\nc\r\nd\r\n", "From b\r\ne\r\n"}},
        {"regression: text before the first separator becomes a message",
         "Subject: saved alone\n\nhi\nFrom a\nx\n",
         {"Subject: saved alone\r\n\r\nhi\r\n", "From a\r\nx\r\n"}},
        {"blank text before the first separator is dropped", "\n \t\r\n\nFrom a\nx\n", {"From a\r\nx\r\n"}},
        {"blank text before a separator without a final line end", "\nFrom a\nx", {"From a\r\nx\r\n"}},
        {"regression: a mailbox without separator is one message",
         "Subject: no envelope\r\n\r\nbody",
         {"Subject: no envelope\r\n\r\nbody\r\n"}},
        {"an empty mailbox gives no message", "", {}},
        {"a blank mailbox gives no message", " \r\n\t\n\r", {}},
        {"\"From\" at the very end is text", "From a\nx\nFrom", {"From a\r\nx\r\nFrom\r\n"}},
        {"\"From \" at the very end is a separator", "From a\nx\nFrom ", {"From a\r\nx\r\n", "From \r\n"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        expectBothModes(c.mailbox, c.expected);
    }
}

TEST(Splitters, RegressionSeparatorCutByABlockBoundaryIsFound)
{
    // Every cut of "\nFrom " by the block boundary, and the separator line right at it.
    for (std::size_t lineFeedAt = BlockSplitter::kBlockSize - 7; lineFeedAt <= BlockSplitter::kBlockSize + 1;
         ++lineFeedAt) {
        const std::string first = "From a\n" + std::string(lineFeedAt - 7, 'x');
        const std::string mailbox = first + "\nFrom b\nbody\n";
        SCOPED_TRACE(lineFeedAt);
        expectBothModes(mailbox, {"From a\r\n" + std::string(lineFeedAt - 7, 'x') + "\r\n", "From b\r\nbody\r\n"});
    }
}

TEST(Splitters, RegressionCrLfPairSplitAcrossBlocksStaysOneLineBreak)
{
    // The CR is the block's last byte, its LF the next block's first.
    const std::string head = "From a\r\n" + std::string(BlockSplitter::kBlockSize - 9, 'x');
    ASSERT_EQ(head.size() + 1, BlockSplitter::kBlockSize);
    const std::string mailbox = head + "\r\nSubject: s\r\n\r\nbody\r\n";
    expectBothModes(mailbox, {head + "\r\nSubject: s\r\n\r\nbody\r\n"});
}

TEST(Splitters, RegressionLineModeEndsLinesAtBareLineFeeds)
{
    // A first line over 512 bytes sends an LF mailbox to line mode; it must still split.
    const std::string subject = "Subject: " + std::string(600, 's');
    const std::string mailbox = "From a " + std::string(600, 'x') + "\n" + subject + "\n\nbody\nFrom b\nbody\n";
    EXPECT_EQ(probeMailboxStart(mailbox).mailboxKind, MailboxKind::Normal);
    expectBothModes(mailbox,
                    {"From a " + std::string(600, 'x') + "\r\n" + subject + "\r\n\r\nbody\r\n", "From b\r\nbody\r\n"});
}

TEST(Splitters, MessageOffsetsPointAtTheSeparatorLines)
{
    const std::string mailbox = "junk\nFrom a\nx\r\nFrom b\n";
    for (bool blockMode : {false, true}) {
        std::vector<std::uint64_t> offsets;
        MessageCollector collector([&](const SplitMessage &message) { offsets.push_back(message.offset); });
        if (blockMode) {
            BlockSplitter splitter(collector);
            for (std::size_t i = 0; i < mailbox.size(); i += 3)
                splitter.feedBlock(std::string_view(mailbox).substr(i, 3));
            splitter.finish();
        } else {
            LineSplitter splitter(collector);
            splitter.feed(mailbox);
            splitter.finish();
        }
        EXPECT_EQ(offsets, (std::vector<std::uint64_t>{0, 5, 15})) << (blockMode ? "block mode" : "line mode");
    }
}

TEST(MailboxReader, EachDigestIsOfTheMailboxBytesWhereItsMessageLies)
{
    // Line ends that become CR LF in the text, a CR LF pair cut by any piece boundary, a last
    // line without a line end and a preamble: the digest is of the bytes as they were.
    const std::string longLine(700, 'x');
    const std::vector<std::string> mailboxes = {
        "From a\nSubject: s\n\nbody\nFrom b\nx\n",
        "From a\r\nSubject: s\r\n\r\nbody\r\nFrom b\r\nx",
        "From a\rSubject: s\r\rbody\rFrom b\rx\r",
        "preamble\r\nFrom a\n" + longLine + "\r\n\nFrom " + longLine + "\r\nFrom c\r",
        "\n\r\nFrom a\r\nmixed\rends\n\r\nFrom b\n",
    };
    for (const std::string &mailbox : mailboxes) {
        for (SplitMode mode : {SplitMode::Line, SplitMode::Block}) {
            for (std::size_t pieceSize : {std::size_t{1}, std::size_t{2}, std::size_t{7}, std::size_t{1} << 20}) {
                SCOPED_TRACE(::testing::PrintToString(mailbox) + (mode == SplitMode::Line ? " line" : " block") +
                             " pieces of " + std::to_string(pieceSize));
                const std::vector<SplitPlace> places = splitPlaces(mailbox, mode, pieceSize);
                ASSERT_FALSE(places.empty());
                EXPECT_EQ(places.back().offset + places.back().length, mailbox.size());
                for (const SplitPlace &place : places)
                    EXPECT_EQ(place.sha256, sha256Hex(std::string_view(mailbox).substr(place.offset, place.length)));
            }
        }
    }
}

TEST(BlockSplitter, ReportsTheFirstSeparatorWhollyInsideTheBlock)
{
    MessageCollector collector({});
    BlockSplitter splitter(collector);
    EXPECT_EQ(splitter.feedBlock("From a\nx\nFrom b\nFrom c\n"), 9u);
    EXPECT_EQ(splitter.feedBlock("no separator\n"), 0u);
    EXPECT_EQ(splitter.feedBlock("From d cut at the start\n"), 0u);
}

TEST(SplittersProperty, SeparatorsAroundEveryBlockBoundaryOffsetInEveryLineEndForm)
{
    for (const std::string &lineEnd : kLineEnds) {
        for (std::size_t boundary : {BlockSplitter::kBlockSize, 2 * BlockSplitter::kBlockSize}) {
            for (std::size_t start = boundary - 8; start <= boundary + 8; ++start) {
                // The second message's separator line starts at `start`.
                const std::size_t filler = start - 6 - 2 * lineEnd.size();
                const Mailbox mailbox = buildMailbox(
                    {{"From a", std::string(filler, 'f')}, {"From b", "Subject: x", "", "short"}, {"From c", "z"}},
                    lineEnd);
                ASSERT_EQ(mailbox.bytes.find("From b"), start);
                SCOPED_TRACE(::testing::PrintToString(lineEnd) + " at " + std::to_string(start));
                expectBothModes(mailbox.bytes, mailbox.expected);
            }
        }
    }
}

TEST(SplittersProperty, RandomMailboxesGiveExactlyTheMessagesPutIn)
{
    std::mt19937 random(20261208);
    auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    const std::vector<std::string> trickyStarts = {"From:", "from ", " From ", ">From ", "From", "Fro", "F", ""};

    auto randomLine = [&]() {
        std::string line = pick(4) == 0 ? trickyStarts[static_cast<std::size_t>(pick(8))] : std::string();
        const int length = pick(5) == 0 ? pick(1200) : pick(80);
        for (int i = 0; i < length; ++i)
            line.push_back(static_cast<char>(pick(3) == 0 ? ' ' : 'a' + pick(26)));
        if (line.rfind("From ", 0) == 0)
            line[4] = '_'; // only the lines the test means as separators may be
        return line;
    };

    for (int round = 0; round < 300; ++round) {
        const std::string &lineEnd = kLineEnds[static_cast<std::size_t>(pick(3))];
        std::vector<std::vector<std::string>> messages;
        if (pick(4) == 0)
            messages.push_back({"Subject: before any separator", randomLine()});
        const int count = 1 + pick(6);
        for (int m = 0; m < count; ++m) {
            std::vector<std::string> lines = {"From sender" + std::to_string(m) + " Mon Jan  1 00:00:00 2001"};
            const int lineCount = pick(30);
            for (int l = 0; l < lineCount; ++l)
                lines.push_back(randomLine());
            messages.push_back(lines);
        }
        const Mailbox mailbox = buildMailbox(messages, lineEnd, pick(2) == 0);
        SCOPED_TRACE("round " + std::to_string(round));
        EXPECT_EQ(splitInBlockMode(mailbox.bytes), mailbox.expected);
        EXPECT_EQ(splitInLineMode(mailbox.bytes, 1 + static_cast<std::size_t>(pick(700))), mailbox.expected);
        EXPECT_EQ(splitInBlockMode(mailbox.bytes, 1 + static_cast<std::size_t>(pick(40))), mailbox.expected);
    }
}

TEST(SplittersProperty, ArbitraryBytesSplitTheSameWayInBothModesAndAnyPieceSize)
{
    // Bytes drawn mostly from "From \r\n", so separators, cut separators and split pairs abound.
    std::mt19937 random(518);
    const std::string alphabet = "From \r\nFrom \r\nx\t";
    for (int round = 0; round < 2000; ++round) {
        std::string bytes(random() % 1600, '\0');
        for (char &c : bytes)
            c = alphabet[random() % alphabet.size()];
        const Messages byBlocks = splitInBlockMode(bytes);
        SCOPED_TRACE(::testing::PrintToString(bytes));
        ASSERT_EQ(splitInLineMode(bytes, 1 + random() % 600), byBlocks);
        ASSERT_EQ(splitInBlockMode(bytes, 1 + random() % 9), byBlocks);
        // Messages longer than memory holds go on into their files as they are split.
        if (round % 8 == 0) {
            ASSERT_EQ(splitToMessageFiles(bytes, round % 16 ? SplitMode::Line : SplitMode::Block, 1 + random() % 600,
                                          1 + random() % 40),
                      byBlocks);
        }
    }
}

TEST(MessageCollector, TheMessageInHandIsWhatAReadErrorWouldKeep)
{
    std::vector<std::string> finished;
    MessageCollector collector([&](const SplitMessage &message) { finished.emplace_back(message.text); });
    EXPECT_FALSE(collector.messageInHand()) << "nothing read yet";
    collector.append("  ");
    collector.appendLineBreak("\n");
    EXPECT_FALSE(collector.messageInHand()) << "blank text before the first separator is no message";

    collector.beginMessage(10);
    collector.append("From a");
    collector.appendLineBreak("\n");
    collector.append("Subject: cut sh");
    const std::optional<SplitMessage> inHand = collector.messageInHand();
    ASSERT_TRUE(inHand);
    EXPECT_EQ(inHand->text, "From a\r\nSubject: cut sh");
    EXPECT_EQ(inHand->offset, 10u);
    EXPECT_TRUE(finished.empty());
}
