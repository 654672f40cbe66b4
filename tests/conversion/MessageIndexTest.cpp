// The index file: its CSV as other programs read it, a kill's torn last line, and re-runs
// that resume from it.
#include "conversion/MessageIndex.h"

#include "conversion/ConversionRun.h"
#include "conversion/OutputTree.h"
#include "support/DateTime.h"
#include "support/Sha256.h"
#include "tests/conversion/FakeMessageReader.h"
#include "tests/conversion/RecordingConverter.h"
#include "tests/conversion/RecordingObserver.h"
#include "tests/TestSupport/TempFolder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

using namespace tessaly;
using namespace tessaly::testing;

namespace {

IndexRow hostileRow()
{
    IndexRow row;
    row.messageNumber = 7;
    row.key = MessageKey{1234, 567, sha256Hex("x"), "cur/1600000000.M1,host:2,S"};
    row.messageId = "a,b@example.org";
    row.date = "2021-03-05 10:00:00";
    row.from = "O\"Brien, Ann";
    row.to = "=HYPERLINK(\"http://evil\")";
    row.subject = "Grüße\r\nzwei Zeilen, \"zitiert\" – 日本語";
    row.pdfFile = "-5 degrees.pdf";
    row.attachmentsWritten = 2;
    row.status = std::string(kIndexStatusConverted);
    row.warnings = "'quoted already";
    row.sourceSha256 = sha256Hex("y");
    return row;
}

std::string readFile(const std::string &path)
{
    return RecordingConverter::readAll(path);
}

std::vector<IndexRow> rowsOf(const std::string &path)
{
    std::vector<IndexRow> rows;
    for (const auto &record : readCsvRecords(readFile(path)).records) {
        if (std::optional<IndexRow> row = indexRowFromRecord(record))
            rows.push_back(*row);
    }
    return rows;
}

std::string message(const std::string &subject)
{
    return "From someone@example.org Fri Mar  5 10:00:00 2021\nSubject: " + subject +
           "\nFrom: Ann\nDate: 2021-03-05\n\nBody of " + subject + "\n";
}

} // namespace

TEST(MessageIndex, RowsSurviveCsvWithCommasQuotesLineBreaksUtf8AndFormulaLikeText)
{
    const IndexRow row = hostileRow();
    const std::string record = indexRecord(row);
    // Spreadsheets must not run a cell as a formula; the apostrophe that prevents it is
    // taken off again on reading.
    EXPECT_NE(record.find("\"'=HYPERLINK(\"\"http://evil\"\")\""), std::string::npos) << record;
    EXPECT_NE(record.find(",'-5 degrees.pdf,"), std::string::npos) << record;

    const CsvRecords parsed = readCsvRecords(record + record);
    ASSERT_EQ(parsed.records.size(), 2u);
    const std::optional<IndexRow> back = indexRowFromRecord(parsed.records[1]);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->key, row.key);
    EXPECT_EQ(back->messageId, row.messageId);
    EXPECT_EQ(back->from, row.from);
    EXPECT_EQ(back->to, row.to);
    EXPECT_EQ(back->subject, row.subject);
    EXPECT_EQ(back->pdfFile, row.pdfFile);
    EXPECT_EQ(back->warnings, row.warnings);
    EXPECT_EQ(back->attachmentsWritten, 2);
    EXPECT_EQ(back->sourceSha256, row.sourceSha256);

    // Rows written before the source file's column, and before the embedded source's, still
    // count: they are rows of mailboxes, whose messages have no source file.
    IndexRow mailboxRow = row;
    mailboxRow.key.sourceFile.clear();
    std::vector<std::string> older = readCsvRecords(indexRecord(mailboxRow)).records[0];
    older.pop_back();
    const std::optional<IndexRow> olderBack = indexRowFromRecord(older);
    ASSERT_TRUE(olderBack.has_value());
    EXPECT_EQ(olderBack->key, mailboxRow.key);
    EXPECT_EQ(olderBack->sourceSha256, row.sourceSha256);
    older.pop_back();
    const std::optional<IndexRow> oldest = indexRowFromRecord(older);
    ASSERT_TRUE(oldest.has_value());
    EXPECT_EQ(oldest->key, mailboxRow.key);
    EXPECT_EQ(oldest->sourceSha256, "");
}

TEST(MessageIndex, CellsBeginningWithALineBreakAreNeutralisedAndReadBack)
{
    // An encoded word can start a subject with CR, LF or a tab; a spreadsheet that skips it
    // would still run the formula after it.
    for (const std::string cell : {"\r=1+1", "\n=1+1", "\r\n@SUM(A1)", "\t=1+1"}) {
        const std::string record = csvRecord({cell, "x"});
        EXPECT_TRUE(record.starts_with("'" + cell) || record.starts_with("\"'" + cell)) << record;
        const CsvRecords parsed = readCsvRecords(record);
        ASSERT_EQ(parsed.records.size(), 1u);
        EXPECT_EQ(parsed.records[0], (std::vector<std::string>{cell, "x"}));
    }
}

TEST(MessageIndex, ATornLastLineIsIgnoredAndCutOffBeforeTheNextRow)
{
    TempFolder temp;
    const std::string path = temp.file("Tessaly index.csv");
    IndexRow row = hostileRow();
    {
        MessageIndexWriter writer(FolderHandle::open(temp.path()).value(), "Tessaly index.csv");
        ASSERT_TRUE(writer.append(row));
    }
    // A kill in the middle of a row: inside a quoted field, after a line break in it.
    const std::string whole = readFile(path);
    const std::string torn = indexRecord(row);
    const std::size_t cut = torn.find("\r\n") + 2;
    temp.write("Tessaly index.csv", whole + torn.substr(0, cut));
    EXPECT_EQ(rowsOf(path).size(), 1u);

    row.messageNumber = 8;
    {
        MessageIndexWriter writer(FolderHandle::open(temp.path()).value(), "Tessaly index.csv");
        ASSERT_TRUE(writer.append(row));
    }
    const CsvRecords records = readCsvRecords(readFile(path));
    EXPECT_EQ(records.completeLength, readFile(path).size());
    const std::vector<IndexRow> rows = rowsOf(path);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1].messageNumber, 8);
    EXPECT_EQ(rows[1].subject, row.subject);
}

TEST(MessageIndex, RowsWereNeverSyncedNowTheyAreOnceASecondAndOnSync)
{
    TempFolder temp;
    std::chrono::steady_clock::time_point now;
    MessageIndexWriter writer(FolderHandle::open(temp.path()).value(), "Tessaly index.csv", [&] { return now; });
    // Seconds since the first row, and the rows not yet on the disk after appending there.
    const std::vector<std::pair<double, int>> steps{{0.0, 1}, {0.5, 2}, {0.999, 3}, {1.0, 0},
                                                    {1.2, 1}, {2.1, 2}, {2.2, 0},   {9.0, 1}};
    for (const auto &[seconds, notSynced] : steps) {
        now = std::chrono::steady_clock::time_point{} +
              std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(seconds));
        ASSERT_TRUE(writer.append(hostileRow()));
        EXPECT_EQ(writer.rowsNotSynced(), notSynced) << "at " << seconds << " s";
    }
    ASSERT_TRUE(writer.sync());
    EXPECT_EQ(writer.rowsNotSynced(), 0);
    EXPECT_EQ(rowsOf(temp.file("Tessaly index.csv")).size(), steps.size());
}

TEST(MessageIndex, ARerunConvertsOnlyMessagesWithoutAConvertedRowOrWithoutTheirPdf)
{
    TempFolder temp;
    RecordingObserver observer;
    RecordingConverter converter;
    const std::string mailbox = temp.write("box.mbox", message("One") + message("Two") + message("Three"));
    const std::string folder = mailboxOutputFolder(temp.file("out"), mailbox).value();
    auto run = [&](IndexSettings settings) {
        observer = RecordingObserver();
        ConversionRun conversion(wholeMailboxRows({mailbox}), RunSettings{{}, {}, std::move(settings)}, observer,
                                 borrowConverter(converter), fakeReaderFactory());
        return conversion.convertInto(temp.file("out"));
    };

    const RunReport first = run({});
    EXPECT_EQ(first.messagesConverted, 3);
    const std::vector<IndexRow> rows = rowsOf(joinPath(folder, "Tessaly index.csv"));
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[1].pdfFile, "Two.pdf");
    EXPECT_EQ(rows[1].key.offset, message("One").size());
    EXPECT_EQ(rows[1].key.length, message("Two").size());
    EXPECT_EQ(rows[1].key.sha256, sha256Hex(message("Two")));
    // The PDF carries the message's date as its file time.
    const auto pdfTime = std::filesystem::last_write_time(toFsPath(joinPath(folder, "Two.pdf")));
    const std::time_t seconds = std::chrono::system_clock::to_time_t(std::chrono::file_clock::to_sys(pdfTime));
    const std::optional<std::tm> local = localTimeFields(seconds);
    ASSERT_TRUE(local);
    EXPECT_EQ(local->tm_year + 1900, 2021);
    EXPECT_EQ(local->tm_mon + 1, 3);

    std::filesystem::remove(toFsPath(joinPath(folder, "Two.pdf")));
    const RunReport second = run({});
    EXPECT_EQ(second.messagesConverted, 1);
    EXPECT_EQ(second.messagesSkipped, 2);
    EXPECT_TRUE(std::filesystem::exists(toFsPath(joinPath(folder, "Two.pdf"))));
    EXPECT_FALSE(std::filesystem::exists(toFsPath(joinPath(folder, "One (2).pdf"))));
    EXPECT_EQ(observer.finishedMessages,
              (std::vector<std::pair<int, MessageOutcome>>{{1, MessageOutcome::ConvertedEarlier},
                                                           {2, MessageOutcome::Converted},
                                                           {3, MessageOutcome::ConvertedEarlier}}));

    IndexSettings force;
    force.convertAgain = true;
    const RunReport third = run(force);
    EXPECT_EQ(third.messagesConverted, 3);
    EXPECT_TRUE(std::filesystem::exists(toFsPath(joinPath(folder, "One (2).pdf"))));
    std::vector<std::string> statuses;
    for (const IndexRow &row : rowsOf(joinPath(folder, "Tessaly index.csv")))
        statuses.push_back(row.status);
    EXPECT_EQ(statuses, (std::vector<std::string>{"converted", "converted", "converted", "skipped", "converted",
                                                  "skipped", "converted", "converted", "converted"}));
}
