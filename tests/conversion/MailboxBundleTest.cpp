// A mailbox's bundle as the assembler is handed it and as its load file records it: order,
// failures, re-runs and shards, parts and their numbering, Bates numbers, and whose files it
// may replace.
#include "conversion/MailboxBundle.h"

#include "conversion/MessageIndex.h"
#include "support/Sha256.h"
#include "tests/TestSupport/TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

using namespace tessaly;
using namespace tessaly::testing;

namespace {

constexpr int kMessages = 30;
constexpr int kFailed = 12;     ///< the message of the 30 that failed
constexpr int kWithoutDate = 5; ///< the one without a date
constexpr int kFormula = 3;     ///< the one whose subject a spreadsheet would run

/// The pages a fake message PDF claims: 1 to 3.
int pagesOf(int message)
{
    return 1 + message % 3;
}

/// The pages of all 30 fake message PDFs.
int messagePages()
{
    int pages = 0;
    for (int n = 1; n <= kMessages; ++n)
        pages += n == kFailed ? 0 : pagesOf(n);
    return pages;
}

/// The index row of message `n` of the 30, as one whole run writes it.
IndexRow row(int n)
{
    IndexRow row;
    row.messageNumber = n;
    row.key = MessageKey{static_cast<std::uint64_t>(n) * 1000, 900, sha256Hex("message " + std::to_string(n))};
    row.messageId = "<" + std::to_string(n) + "@example.org>";
    // Dates out of mailbox order, with ties (n and n + 4 share a day).
    const int day = (n * 7) % 28 + 1;
    row.date =
        n == kWithoutDate ? "" : "2021-03-" + std::string(day < 10 ? "0" : "") + std::to_string(day) + " 10:00:00";
    row.from = "Sender " + std::to_string(n);
    row.to = "ann@example.org";
    row.subject = n == kFormula ? "=HYPERLINK(\"http://evil\")" : "Subject " + std::to_string(n);
    row.attachmentsWritten = n % 2;
    if (n == kFailed) {
        row.status = indexStatusFailed(FailureKind::RenderFailed);
        row.warnings = "the message could not be drawn: boom";
    } else {
        row.status = std::string(kIndexStatusConverted);
        row.pdfFile = "m" + std::to_string(n) + ".pdf";
    }
    return row;
}

/// Records the parts it is handed and places each message as its fake PDF says ("pages=K"),
/// after one contents page per 40 messages, stamping Bates numbers on the message pages.
class FakeAssembler : public BundleAssembler
{
public:
    std::vector<BundlePart> parts;
    std::vector<std::string> destinations;

    Result<AssembledPart> assemble(const BundlePart &part, const FileInFolder &destination) override
    {
        parts.push_back(part);
        destinations.push_back(destination.name);
        AssembledPart made;
        const int contentsPages = 1 + static_cast<int>(part.messages.size()) / 40;
        int page = 0;
        std::uint64_t bates = part.bates ? part.bates->first : 0;
        const auto batesText = [&](std::uint64_t number) {
            std::string digits = std::to_string(number);
            if (static_cast<int>(digits.size()) > part.bates->digits)
                made.batesOverflowed = true;
            else
                digits.insert(0, static_cast<std::size_t>(part.bates->digits) - digits.size(), '0');
            return part.bates->prefix + digits;
        };
        for (const BundleMessage &message : part.messages) {
            AssembledMessage placed;
            if (message.pdf) {
                const std::string text = message.pdf->folder.read(message.pdf->name).value();
                const int pages = std::stoi(text.substr(text.find("pages=") + 6));
                placed.firstPage = page + 1;
                placed.lastPage = page + pages;
                page += pages;
                if (part.bates) {
                    placed.firstBates = batesText(bates);
                    placed.lastBates = batesText(bates + static_cast<std::uint64_t>(pages) - 1);
                    bates += static_cast<std::uint64_t>(pages);
                }
            }
            made.messages.push_back(placed);
        }
        made.pageCount = contentsPages + page;
        made.nextBates = bates;
        (void)destination.folder.remove(destination.name); // replaced, as the real one does
        if (Result<OpenFile> file = destination.folder.create(destination.name); file)
            (void)file.value().write("bundle of " + std::to_string(part.messages.size()));
        return made;
    }

    /// The PDF names handed over, in order, "-" for a message without one.
    std::vector<std::string> pdfNames() const
    {
        std::vector<std::string> names;
        for (const BundlePart &part : parts) {
            for (const BundleMessage &message : part.messages)
                names.push_back(message.pdf ? message.pdf->name : "-");
        }
        return names;
    }
};

class MailboxBundleTest : public ::testing::Test
{
protected:
    TempFolder temp;
    std::string box = temp.folder("out/box.mbox");

    /// Writes the fake PDFs of the 30 messages, `padding` bytes each beyond their first line.
    void writePdfs(std::size_t padding = 0)
    {
        for (int n = 1; n <= kMessages; ++n) {
            if (n != kFailed)
                temp.write("out/box.mbox/m" + std::to_string(n) + ".pdf",
                           "pages=" + std::to_string(pagesOf(n)) + "\n" + std::string(padding, 'x'));
        }
    }
    void writeIndex(const std::string &name, const std::vector<IndexRow> &rows)
    {
        MessageIndexWriter writer(FolderHandle::open(box).value(), name);
        for (const IndexRow &indexRow : rows)
            ASSERT_TRUE(writer.append(indexRow));
    }
    std::vector<IndexRow> allRows()
    {
        std::vector<IndexRow> rows;
        for (int n = 1; n <= kMessages; ++n)
            rows.push_back(row(n));
        return rows;
    }
    /// The load file's records, heading first.
    std::vector<std::vector<std::string>> loadFile()
    {
        return readCsvRecords(RawFile(temp.file("out/box.mbox bundle.csv"))).records;
    }
    static std::string RawFile(const std::string &path)
    {
        std::ifstream in(toFsPath(path), std::ios::binary);
        std::stringstream bytes;
        bytes << in.rdbuf();
        return bytes.str();
    }
};

TEST_F(MailboxBundleTest, EveryMessageGoesInInMailboxOrderAndAFailedOneIsListedWithItsFailure)
{
    writePdfs();
    // Written in another order than the mailbox's: a resumed run appends what it retried.
    std::vector<IndexRow> rows = allRows();
    std::rotate(rows.begin(), rows.begin() + 10, rows.end());
    writeIndex("Tessaly index.csv", rows);

    FakeAssembler assembler;
    Result<BundleReport> report = bundleMailbox(box + "/", BundleOptions{}, assembler);
    ASSERT_TRUE(report) << report.error().message;

    ASSERT_EQ(assembler.parts.size(), 1u);
    const BundlePart &part = assembler.parts[0];
    EXPECT_EQ(assembler.destinations, std::vector<std::string>{"box.mbox.pdf"});
    EXPECT_EQ(part.title, "box.mbox");
    EXPECT_EQ(part.partCount, 1);
    EXPECT_FALSE(part.bates.has_value());
    ASSERT_EQ(part.messages.size(), static_cast<std::size_t>(kMessages));
    for (int n = 1; n <= kMessages; ++n) {
        const BundleMessage &message = part.messages[static_cast<std::size_t>(n) - 1];
        EXPECT_EQ(message.number, n);
        EXPECT_EQ(message.subject, row(n).subject);
        EXPECT_EQ(message.attachments, n % 2);
        EXPECT_EQ(message.pdf.has_value(), n != kFailed) << n;
    }
    EXPECT_EQ(part.messages[kFailed - 1].failure, "failed: render-failed: the message could not be drawn: boom");
    EXPECT_EQ(report.value().messages, kMessages);
    EXPECT_EQ(report.value().messagesWithoutPdf, 1);
    EXPECT_EQ(report.value().parts, std::vector<std::string>{temp.file("out/box.mbox.pdf")});
    EXPECT_EQ(report.value().loadFile, temp.file("out/box.mbox bundle.csv"));

    const auto records = loadFile();
    ASSERT_EQ(records.size(), static_cast<std::size_t>(kMessages) + 1);
    EXPECT_EQ(records[0], (std::vector<std::string>{"Number", "SHA-256", "Message-ID", "Date", "From", "To", "Subject",
                                                    "First page", "Last page", "BEGBATES", "ENDBATES", "Attachments",
                                                    "Bundle file", "Failure"}));
    EXPECT_EQ(records[1],
              (std::vector<std::string>{"1", row(1).key.sha256, "<1@example.org>", row(1).date, "Sender 1",
                                        "ann@example.org", "Subject 1", "1", "2", "", "", "1", "box.mbox.pdf", ""}));
    // Pages run on from message to message; the failed one has none and says why.
    EXPECT_EQ(records[2][7], "3");
    EXPECT_EQ(records[kFailed][7], "");
    EXPECT_EQ(records[kFailed][8], "");
    EXPECT_EQ(records[kFailed][13], "failed: render-failed: the message could not be drawn: boom");
    const int pages = messagePages();
    EXPECT_EQ(records[kMessages][8], std::to_string(pages));
    EXPECT_EQ(report.value().pages, pages + 1);
    // A spreadsheet opening the load file must not run the subject.
    EXPECT_NE(RawFile(report.value().loadFile).find(",\"'=HYPERLINK(\"\"http://evil\"\")\","), std::string::npos);
    EXPECT_EQ(records[kFormula][6], row(kFormula).subject);
}

TEST_F(MailboxBundleTest, DateOrderSortsByDateThenMailboxPlaceWithUndatedMessagesLast)
{
    writePdfs();
    writeIndex("Tessaly index.csv", allRows());
    FakeAssembler assembler;
    BundleOptions options;
    options.order = BundleOrder::Date;
    ASSERT_TRUE(bundleMailbox(box, options, assembler));

    std::vector<int> expected;
    for (int n = 1; n <= kMessages; ++n)
        expected.push_back(n);
    std::stable_sort(expected.begin(), expected.end(), [](int a, int b) {
        const std::string dateA = row(a).date, dateB = row(b).date;
        return dateA.empty() != dateB.empty() ? dateB.empty() : dateA < dateB;
    });
    ASSERT_EQ(assembler.parts.size(), 1u);
    std::vector<std::string> subjects, expectedSubjects;
    for (std::size_t i = 0; i < assembler.parts[0].messages.size(); ++i) {
        EXPECT_EQ(assembler.parts[0].messages[i].number, static_cast<int>(i) + 1);
        subjects.push_back(assembler.parts[0].messages[i].subject);
        expectedSubjects.push_back(row(expected[i]).subject);
    }
    EXPECT_EQ(subjects, expectedSubjects);
    EXPECT_EQ(subjects.back(), "Subject 5");
    EXPECT_EQ(loadFile().back()[6], "Subject 5");
}

TEST_F(MailboxBundleTest, AMessageWithSeveralRowsCountsOnceByItsLatestRowWithAPdf)
{
    writePdfs();
    std::vector<IndexRow> rows = allRows();
    // The first run: message 20 failed. The resumed run: skipped rows for what was done, 20
    // converted now, 7 failing again after a forced retry while its PDF stays.
    rows[19].status = indexStatusFailed(FailureKind::OverTimeLimit);
    rows[19].pdfFile.clear();
    for (int n : {1, 2, 20, 7}) {
        IndexRow again = row(n);
        again.messageNumber = n + 100;
        if (n == 7) {
            again.status = indexStatusFailed(FailureKind::OverTimeLimit);
            again.pdfFile.clear();
        } else if (n != 20) {
            again.status = std::string(kIndexStatusSkipped);
        }
        rows.push_back(again);
    }
    writeIndex("Tessaly index.csv", rows);

    FakeAssembler assembler;
    Result<BundleReport> report = bundleMailbox(box, BundleOptions{}, assembler);
    ASSERT_TRUE(report) << report.error().message;
    EXPECT_EQ(report.value().messages, kMessages);
    EXPECT_EQ(report.value().messagesWithoutPdf, 1);
    std::vector<std::string> expected;
    for (int n = 1; n <= kMessages; ++n)
        expected.push_back(n == kFailed ? "-" : "m" + std::to_string(n) + ".pdf");
    EXPECT_EQ(assembler.pdfNames(), expected);
    EXPECT_EQ(loadFile().size(), static_cast<std::size_t>(kMessages) + 1);
}

TEST_F(MailboxBundleTest, AConvertedMessageWhosePdfIsGoneIsListedWithoutOneAndWarnedOf)
{
    writePdfs();
    writeIndex("Tessaly index.csv", allRows());
    std::filesystem::remove(toFsPath(temp.file("out/box.mbox/m4.pdf")));
    FakeAssembler assembler;
    Result<BundleReport> report = bundleMailbox(box, BundleOptions{}, assembler);
    ASSERT_TRUE(report) << report.error().message;
    EXPECT_FALSE(assembler.parts[0].messages[3].pdf.has_value());
    EXPECT_EQ(assembler.parts[0].messages[3].failure, "its PDF 'm4.pdf' is no longer in the folder");
    EXPECT_EQ(report.value().messagesWithoutPdf, 2);
    ASSERT_EQ(report.value().warnings.size(), 1u);
    EXPECT_NE(report.value().warnings[0].find("message 4: its PDF 'm4.pdf'"), std::string::npos);
}

TEST_F(MailboxBundleTest, ThreeShardsGiveTheAssemblerWhatOneWholeRunGivesIt)
{
    const auto handed = [this](const std::vector<std::pair<std::string, std::vector<IndexRow>>> &indexes) {
        for (const std::string &name : TempFolder::fileNames(box)) {
            if (isIndexFileName(name))
                std::filesystem::remove(toFsPath(box + "/" + name));
        }
        for (const auto &[name, rows] : indexes)
            writeIndex(name, rows);
        FakeAssembler assembler;
        EXPECT_TRUE(bundleMailbox(box, BundleOptions{}, assembler));
        std::vector<std::string> seen;
        for (const BundlePart &part : assembler.parts) {
            for (const BundleMessage &message : part.messages)
                seen.push_back(std::to_string(message.number) + "|" + message.date + "|" + message.from + "|" +
                               message.subject + "|" + std::to_string(message.attachments) + "|" +
                               (message.pdf ? message.pdf->name : "-") + "|" + message.failure);
        }
        return seen;
    };
    writePdfs();
    const std::vector<std::string> oneRun = handed({{"Tessaly index.csv", allRows()}});
    ASSERT_EQ(oneRun.size(), static_cast<std::size_t>(kMessages));

    // Each shard numbers its range's messages from 1.
    std::vector<std::pair<std::string, std::vector<IndexRow>>> shards;
    for (int shard = 0; shard < 3; ++shard) {
        std::vector<IndexRow> rows;
        for (int n = shard * 10 + 1; n <= shard * 10 + 10; ++n) {
            IndexRow shardRow = row(n);
            shardRow.messageNumber = n - shard * 10;
            rows.push_back(shardRow);
        }
        shards.emplace_back(indexFileName(2 - shard, 3), rows);
    }
    EXPECT_EQ(handed(shards), oneRun);
}

TEST_F(MailboxBundleTest, SourceFolderMessagesGoInTheOrderARunReadsThem)
{
    const std::vector<std::string> files{"10.eml", "2.eml", "1.eml"};
    std::vector<IndexRow> rows;
    for (std::size_t i = 0; i < files.size(); ++i) {
        IndexRow fileRow = row(static_cast<int>(i) + 1);
        fileRow.key = MessageKey{0, 900, sha256Hex(files[i]), files[i]};
        fileRow.messageNumber = 1; // each from a shard of its own
        rows.push_back(fileRow);
    }
    writePdfs();
    writeIndex("Tessaly index.csv", rows);
    FakeAssembler assembler;
    ASSERT_TRUE(bundleMailbox(box, BundleOptions{}, assembler));
    EXPECT_EQ(assembler.pdfNames(), (std::vector<std::string>{"m3.pdf", "m2.pdf", "m1.pdf"}));
}

TEST_F(MailboxBundleTest, PartsSplitByCountOrSizeAndContinueTheNumbersAndBatesNumbers)
{
    struct Case
    {
        const char *name;
        int messageLimit;
        std::uint64_t sizeLimit;
        std::vector<std::size_t> partSizes;
    };
    // Each PDF is about 1,000 bytes; the failed message has none and costs nothing.
    const Case cases[] = {
        {"by count", 12, kDefaultBundleSize, {12, 12, 6}},
        {"by size", kBundleMessageLimit, 10 * 1000 + 100, {10, 11, 9}},
        {"a PDF over the size alone", kBundleMessageLimit, 500, std::vector<std::size_t>(29, 1)},
    };
    writePdfs(1000 - 8);
    writeIndex("Tessaly index.csv", allRows());
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        FakeAssembler assembler;
        BundleOptions options;
        options.messageLimit = c.messageLimit;
        options.sizeLimit = c.sizeLimit;
        options.bates = BatesNumbering{"ABC-", 1, 6};
        Result<BundleReport> report = bundleMailbox(box, options, assembler);
        ASSERT_TRUE(report) << report.error().message;
        std::vector<std::size_t> sizes;
        for (const BundlePart &part : assembler.parts)
            sizes.push_back(part.messages.size());
        if (c.partSizes.size() == 29) {
            // The failed message, with no bytes, shares the part of the message before it.
            EXPECT_EQ(sizes.size(), 29u);
            continue;
        }
        EXPECT_EQ(sizes, c.partSizes);
        ASSERT_EQ(assembler.parts.size(), 3u);
        EXPECT_EQ(assembler.destinations,
                  (std::vector<std::string>{"box.mbox.pdf", "box.mbox (part 2).pdf", "box.mbox (part 3).pdf"}));
        EXPECT_EQ(assembler.parts[1].partNumber, 2);
        EXPECT_EQ(assembler.parts[1].partCount, 3);
        EXPECT_EQ(assembler.parts[1].messages.front().number, static_cast<int>(c.partSizes[0]) + 1);
        EXPECT_EQ(report.value().parts.size(), 3u);

        // Bates numbers run on across the parts, and the load file says which part holds each.
        const auto records = loadFile();
        ASSERT_EQ(records.size(), static_cast<std::size_t>(kMessages) + 1);
        std::uint64_t next = 1;
        for (std::size_t i = 1; i < records.size(); ++i) {
            const std::size_t part = i <= c.partSizes[0] ? 0 : i <= c.partSizes[0] + c.partSizes[1] ? 1 : 2;
            EXPECT_EQ(records[i][12], assembler.destinations[part]) << i;
            if (static_cast<int>(i) == kFailed) {
                EXPECT_EQ(records[i][9], "");
                continue;
            }
            char expected[16];
            std::snprintf(expected, sizeof expected, "ABC-%06llu", static_cast<unsigned long long>(next));
            EXPECT_EQ(records[i][9], expected) << i;
            next += static_cast<std::uint64_t>(pagesOf(static_cast<int>(i)));
        }
        EXPECT_EQ(assembler.parts[1].bates->first, std::stoull(records[c.partSizes[0] + 1][9].substr(4)));
        EXPECT_TRUE(report.value().warnings.empty());
    }
}

TEST_F(MailboxBundleTest, BatesNumbersThatOutgrowTheirDigitsAreWarnedOfOnce)
{
    writePdfs();
    writeIndex("Tessaly index.csv", allRows());
    FakeAssembler assembler;
    BundleOptions options;
    options.messageLimit = 10;
    options.bates = BatesNumbering{"X", 95, 2};
    Result<BundleReport> report = bundleMailbox(box, options, assembler);
    ASSERT_TRUE(report) << report.error().message;
    ASSERT_EQ(report.value().warnings.size(), 1u);
    EXPECT_EQ(report.value().warnings[0], "'" + temp.file("out/box.mbox.pdf") +
                                              "': the Bates numbers outgrew their 2 digits and were stamped in full");
    EXPECT_EQ(loadFile().back()[10], "X" + std::to_string(95 + messagePages() - 1));
}

TEST_F(MailboxBundleTest, ARerunReplacesItsOwnBundleButNeverAFileThatIsNotOne)
{
    writePdfs();
    writeIndex("Tessaly index.csv", allRows());
    BundleOptions split;
    split.messageLimit = 10;
    FakeAssembler first;
    ASSERT_TRUE(bundleMailbox(box, split, first));
    EXPECT_EQ(TempFolder::fileNames(temp.file("out")),
              (std::vector<std::string>{"box.mbox", "box.mbox (part 2).pdf", "box.mbox (part 3).pdf",
                                        "box.mbox bundle.csv", "box.mbox.pdf"}));

    // Again as one part: the earlier parts 2 and 3 go, the load file is the new one.
    FakeAssembler again;
    ASSERT_TRUE(bundleMailbox(box, BundleOptions{}, again));
    EXPECT_EQ(TempFolder::fileNames(temp.file("out")),
              (std::vector<std::string>{"box.mbox", "box.mbox bundle.csv", "box.mbox.pdf"}));
    EXPECT_EQ(loadFile().back()[12], "box.mbox.pdf");

    // A file the user put at a part's name stops the bundle before anything is written.
    temp.write("out/box.mbox (part 2).pdf", "mine");
    FakeAssembler blocked;
    Result<BundleReport> refused = bundleMailbox(box, split, blocked);
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error().message, "'" + temp.file("out/box.mbox (part 2).pdf") +
                                           "' is there already and no load file of a bundle names it: move it away "
                                           "to make the bundle");
    EXPECT_TRUE(blocked.parts.empty());
    EXPECT_EQ(RawFile(temp.file("out/box.mbox (part 2).pdf")), "mine");

    // So does a load file that is not one.
    std::filesystem::remove(toFsPath(temp.file("out/box.mbox (part 2).pdf")));
    temp.write("out/box.mbox bundle.csv", "name,amount\r\nann,3\r\n");
    Result<BundleReport> notOurs = bundleMailbox(box, BundleOptions{}, blocked);
    ASSERT_FALSE(notOurs);
    EXPECT_NE(notOurs.error().message.find("is no load file of a bundle"), std::string::npos);
    EXPECT_TRUE(blocked.parts.empty());
    EXPECT_EQ(RawFile(temp.file("out/box.mbox bundle.csv")), "name,amount\r\nann,3\r\n");
}

TEST_F(MailboxBundleTest, RegressionAPartThatFailsTakesTheNewPartsBeforeItAlongSoTheNextTryIsNotStopped)
{
    /// Fails the part numbered `failing`.
    struct FailingAssembler : FakeAssembler
    {
        int failing = 2;
        Result<AssembledPart> assemble(const BundlePart &part, const FileInFolder &destination) override
        {
            if (part.partNumber == failing)
                return Error{"no room", FailureKind::DiskFull};
            return FakeAssembler::assemble(part, destination);
        }
    };
    writePdfs();
    writeIndex("Tessaly index.csv", allRows());
    BundleOptions split;
    split.messageLimit = 10;
    FailingAssembler assembler;
    Result<BundleReport> failed = bundleMailbox(box, split, assembler);
    ASSERT_FALSE(failed);
    EXPECT_EQ(failed.error().message, "cannot make '" + temp.file("out/box.mbox (part 2).pdf") + "': no room");
    EXPECT_EQ(TempFolder::fileNames(temp.file("out")), std::vector<std::string>{"box.mbox"});

    assembler.failing = 0;
    ASSERT_TRUE(bundleMailbox(box, split, assembler));
    EXPECT_EQ(TempFolder::fileNames(temp.file("out")).size(), 5u);
}

TEST_F(MailboxBundleTest, AFolderWithoutAnIndexIsRefusedWithItsPath)
{
    FakeAssembler assembler;
    Result<BundleReport> report = bundleMailbox(box, BundleOptions{}, assembler);
    ASSERT_FALSE(report);
    EXPECT_EQ(report.error().message, "cannot bundle '" + box + "': no index file there records a message");
    EXPECT_TRUE(assembler.parts.empty());
}

} // namespace
