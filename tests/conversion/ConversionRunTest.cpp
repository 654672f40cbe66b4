// The conversion run as the user sees it: output tree, files, progress and report.
#include "conversion/ConversionRun.h"

#include "conversion/ConvertMessage.h"
#include "conversion/OutputTree.h"
#include "support/FileMark.h"
#include "tests/conversion/FakeMessageReader.h"
#include "tests/conversion/RecordingConverter.h"
#include "tests/conversion/RecordingObserver.h"
#include "tests/TestSupport/TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <filesystem>

#ifdef __linux__
#include <sys/mount.h>
#endif

using namespace tessaly;
using namespace tessaly::testing;

namespace {

std::string message(const std::string &subject, const std::string &lineEnd = "\n")
{
    return "From someone@example.org Fri Mar  5 10:00:00 2021" + lineEnd + "Subject: " + subject + lineEnd +
           "From: Ann" + lineEnd + "Date: 2021-03-05" + lineEnd + lineEnd + "Body of " + subject + lineEnd;
}

std::string threeMessages(const std::string &lineEnd = "\n")
{
    return message("One", lineEnd) + message("Two", lineEnd) + message("Three", lineEnd);
}

struct RunFixture
{
    RecordingObserver observer;
    RecordingConverter converter;
    TempFolder temp;
    std::vector<std::string> rows;
    RunSettings settings;
    int convertersMade = 0;

    ConversionRun makeRun(RecordingConverter &withConverter)
    {
        MailConverterFactory factory = [this, &withConverter]() -> Result<std::unique_ptr<MailConverter>> {
            ++convertersMade;
            return borrowConverter(withConverter)();
        };
        return ConversionRun(wholeMailboxRows(rows), settings, observer, factory, fakeReaderFactory());
    }
    ConversionRun makeRun() { return makeRun(converter); }
    RunReport convert() { return makeRun().convertInto(temp.file("out")); }

    std::string outputFolderOf(const std::string &mailbox) const
    {
        return mailboxOutputFolder(temp.file("out"), mailbox).value();
    }
};

} // namespace

TEST(ConversionRun, ThreeMessagesBecomeThreePdfs)
{
    RunFixture f;
    const std::string mailbox = f.temp.write("Mail/2019/Inbox.mbox", threeMessages());
    f.rows = {mailbox};
    f.settings.naming = NamingOption::OptSD;

    const RunReport report = f.convert();
    EXPECT_TRUE(report.allSucceeded());
    EXPECT_EQ(report.messagesConverted, 3);

    const std::string folder = f.outputFolderOf(mailbox);
    EXPECT_EQ(folder, joinPath(f.temp.file("out"), pathWithoutRoot(mailbox)));
    EXPECT_EQ(TempFolder::fileNames(folder), (std::vector<std::string>{"One 05-03-2021.pdf", "Tessaly index.csv",
                                                                       "Three 05-03-2021.pdf", "Two 05-03-2021.pdf"}));

    ASSERT_EQ(f.converter.calls.size(), 3u);
    EXPECT_EQ(f.converter.calls[0].source, joinPath(folder, "email-1.eml"));
    EXPECT_EQ(f.converter.calls[2].source, joinPath(folder, "email-3.eml"));
    EXPECT_EQ(f.converter.calls[1].sourceBytes, message("Two", "\r\n") + "\r\n");
    EXPECT_EQ(f.converter.calls[0].options, "-c pdf");

    EXPECT_EQ(f.observer.startedRows, (std::vector<std::pair<int, int>>{{0, 1}}));
    EXPECT_EQ(f.observer.startedMailboxes, std::vector<std::string>{mailbox});
    EXPECT_EQ(f.observer.finishedMessages,
              (std::vector<std::pair<int, MessageOutcome>>{
                  {1, MessageOutcome::Converted}, {2, MessageOutcome::Converted}, {3, MessageOutcome::Converted}}));
    EXPECT_EQ(f.convertersMade, 1);
}

TEST(ConversionRun, BothModesWriteByteIdenticalMessageFiles)
{
    RunFixture f;
    // LF goes to block mode, CR to line mode, LF with a first line over 512 bytes to line mode.
    const std::string longEnvelope = "From " + std::string(600, 'x') + "\n";
    f.rows = {f.temp.write("a/lf.mbox", threeMessages("\n")), f.temp.write("b/cr.mbox", threeMessages("\r")),
              f.temp.write("c/crlf.mbox", threeMessages("\r\n")),
              f.temp.write("d/long.mbox", longEnvelope + "\n" + threeMessages("\n"))};

    const RunReport report = f.convert();
    EXPECT_TRUE(report.allSucceeded());
    EXPECT_EQ(report.mailboxesRead, 4);
    ASSERT_EQ(f.converter.calls.size(), 13u);
    for (std::size_t mailbox = 1; mailbox < 3; ++mailbox) {
        for (std::size_t m = 0; m < 3; ++m)
            EXPECT_EQ(f.converter.calls[mailbox * 3 + m].sourceBytes, f.converter.calls[m].sourceBytes);
    }
    EXPECT_EQ(f.converter.calls[9].sourceBytes, longEnvelope.substr(0, longEnvelope.size() - 1) + "\r\n\r\n\r\n");
    EXPECT_EQ(f.converter.calls[12].sourceBytes, f.converter.calls[2].sourceBytes);
}

TEST(ConversionRun, ProgressNamesEachMailboxOfTheListAndSkipsEmptyRows)
{
    RunFixture f;
    f.rows = {f.temp.write("x/a.mbox", message("A")), "", "   ", f.temp.write("y/b.mbox", message("B"))};

    const RunReport report = f.convert();
    EXPECT_TRUE(report.allSucceeded());
    EXPECT_EQ(f.observer.startedRows, (std::vector<std::pair<int, int>>{{0, 4}, {3, 4}}));
    EXPECT_EQ(f.observer.finishedMessages, (std::vector<std::pair<int, MessageOutcome>>{
                                               {1, MessageOutcome::Converted}, {1, MessageOutcome::Converted}}));
}

TEST(ConversionRun, FailedConversionKeepsItsMessageFileAndTheRunGoesOn)
{
    for (auto failure : {RecordingConverter::Outcome::Fail, RecordingConverter::Outcome::Throw}) {
        RunFixture f;
        const std::string mailbox = f.temp.write("m/box.mbox", threeMessages());
        f.rows = {mailbox};
        f.converter.outcome = [&](int call, const RecordingConverter::Call &) {
            return call == 2 ? failure : RecordingConverter::Outcome::Succeed;
        };

        const RunReport report = f.convert();
        const std::string folder = f.outputFolderOf(mailbox);
        EXPECT_EQ(report.messagesConverted, 2);
        ASSERT_EQ(report.failedMessages.size(), 1u);
        EXPECT_EQ(report.failedMessages[0].messageNumber, 2);
        EXPECT_EQ(report.failedMessages[0].keptMessageFile, joinPath(folder, "email-2.eml"));
        EXPECT_EQ(RecordingConverter::readAll(joinPath(folder, "email-2.eml")), message("Two", "\r\n") + "\r\n");
        EXPECT_EQ(TempFolder::fileNames(folder),
                  (std::vector<std::string>{"One.pdf", "Tessaly index.csv", "Three.pdf", "email-2.eml"}));
        EXPECT_EQ(f.observer.finishedMessages,
                  (std::vector<std::pair<int, MessageOutcome>>{
                      {1, MessageOutcome::Converted}, {2, MessageOutcome::Failed}, {3, MessageOutcome::Converted}}));
    }
}

TEST(ConversionRun, AFailedMessageRowSaysItsKindAndWhy)
{
    RunFixture f;
    const std::string mailbox = f.temp.write("m/box.mbox", threeMessages());
    f.rows = {mailbox};
    f.converter.outcome = [](int call, const RecordingConverter::Call &) {
        return call == 2 ? RecordingConverter::Outcome::Fail : RecordingConverter::Outcome::Succeed;
    };

    const RunReport report = f.convert();
    ASSERT_EQ(report.failedMessages.size(), 1u);
    EXPECT_EQ(report.failedMessages[0].error.kind, FailureKind::RenderFailed);
    const std::string index = RecordingConverter::readAll(joinPath(f.outputFolderOf(mailbox), "Tessaly index.csv"));
    EXPECT_NE(index.find("failed: render-failed,could not be rendered: cannot render the message"), std::string::npos)
        << index;
}

TEST(ConversionRun, ReaderThatThrowsFailsOnlyItsMessage)
{
    struct ThrowingReader : FakeMessageReader
    {
        std::string Subject() const override { throw std::runtime_error("bad header"); }
    };
    RunFixture f;
    int readers = 0;
    ConversionRun run(wholeMailboxRows({f.temp.write("m/box.mbox", threeMessages())}), {}, f.observer,
                      borrowConverter(f.converter), [&] {
                          return ++readers == 2 ? std::unique_ptr<MessageReader>(std::make_unique<ThrowingReader>())
                                                : std::unique_ptr<MessageReader>(std::make_unique<FakeMessageReader>());
                      });

    const RunReport report = run.convertInto(f.temp.file("out"));
    EXPECT_EQ(report.messagesConverted, 2);
    ASSERT_EQ(report.failedMessages.size(), 1u);
    EXPECT_EQ(report.failedMessages[0].error.message, "bad header");
    EXPECT_TRUE(FileExists(report.failedMessages[0].keptMessageFile));
}

TEST(ConversionRun, RegressionKeptMessageFileIsNeverOverwritten)
{
    RunFixture f;
    const std::string mailbox = f.temp.write("m/box.mbox", message("First"));
    const std::string other = f.temp.write("m2/box.mbox", message("Second"));
    f.rows = {mailbox};
    f.converter.outcome = [](int, const RecordingConverter::Call &) { return RecordingConverter::Outcome::Fail; };
    ConversionRun run = f.makeRun();
    run.convertInto(f.temp.file("out"));

    // A later run into the same folder, of another mailbox whose message also fails.
    const std::string folder = f.outputFolderOf(mailbox);
    std::filesystem::copy_file(toFsPath(other), toFsPath(mailbox), std::filesystem::copy_options::overwrite_existing);
    const RunReport report = run.convertInto(f.temp.file("out"));
    ASSERT_EQ(report.failedMessages.size(), 1u);
    EXPECT_EQ(report.failedMessages[0].keptMessageFile, joinPath(folder, "email-1 (2).eml"));
    EXPECT_EQ(RecordingConverter::readAll(joinPath(folder, "email-1.eml")), message("First", "\r\n") + "\r\n");
    EXPECT_EQ(RecordingConverter::readAll(joinPath(folder, "email-1 (2).eml")), message("Second", "\r\n") + "\r\n");
}

TEST(ConversionRun, UnreadableMailboxFailsAloneAndIsReported)
{
    RunFixture f;
    const std::string good = f.temp.write("ok/good.mbox", message("Good"));
    const std::string folderAsMailbox = f.temp.file("ok");
    f.rows = {f.temp.file("missing.mbox"), folderAsMailbox, good};

    const RunReport report = f.convert();
    EXPECT_EQ(report.messagesConverted, 1);
    ASSERT_EQ(report.failedMailboxes.size(), 2u);
    EXPECT_EQ(report.failedMailboxes[0].mailbox, f.temp.file("missing.mbox"));
    EXPECT_NE(report.failedMailboxes[0].error.message.find("cannot open the mailbox"), std::string::npos)
        << report.failedMailboxes[0].error.message;
    EXPECT_NE(report.failedMailboxes[1].error.message.find("folder"), std::string::npos);
    EXPECT_EQ(report.failedMailboxes[0].error.kind, FailureKind::Unreadable);
    EXPECT_EQ(report.failedMailboxes[1].error.kind, FailureKind::NotAMailbox);
}

TEST(ConversionRun, UnwritableOutputFolderFailsTheMailbox)
{
    RunFixture f;
    const std::string mailbox = f.temp.write("m/box.mbox", message("A"));
    const std::string blocker = f.temp.write("out-is-a-file", "x");
    f.rows = {mailbox};

    const RunReport report = f.makeRun().convertInto(blocker);
    EXPECT_EQ(report.messagesConverted, 0);
    ASSERT_EQ(report.failedMailboxes.size(), 1u);
    EXPECT_NE(report.failedMailboxes[0].error.message.find("cannot create the output folder"), std::string::npos);
    EXPECT_TRUE(f.converter.calls.empty());
}

TEST(ConversionRun, OutputFolderThatWouldBeTheMailboxItselfFailsTheMailbox)
{
    RunFixture f;
    const std::string mailbox = f.temp.write("m/box.mbox", message("A"));
    const std::string root = mailbox.substr(0, mailbox.size() - pathWithoutRoot(mailbox).size());
    f.rows = {mailbox};

    const RunReport report = f.makeRun().convertInto(root);
    ASSERT_EQ(report.failedMailboxes.size(), 1u);
    EXPECT_NE(report.failedMailboxes[0].error.message.find("mailbox file itself"), std::string::npos);
    EXPECT_EQ(RecordingConverter::readAll(mailbox), message("A"));
}

TEST(ConversionRun, EmptyAndBlankMailboxesAreReportedEmptyNotFailed)
{
    RunFixture f;
    f.rows = {f.temp.write("e/empty.mbox", ""), f.temp.write("b/blank.mbox", "\r\n \n")};

    const RunReport report = f.convert();
    EXPECT_EQ(report.emptyMailboxes.size(), 2u);
    EXPECT_EQ(report.mailboxesRead, 2);
    EXPECT_TRUE(report.allSucceeded());
    EXPECT_TRUE(f.converter.calls.empty());
    EXPECT_EQ(f.observer.convertedRows, (std::vector<int>{0, 1}));
}

TEST(ConversionRun, RegressionAPngNamedMboxFailsAsNotAMailboxAndWritesNothing)
{
    RunFixture f;
    const std::string png = f.temp.write("p/x.mbox", std::string("\x89PNG\r\n\x1a\nFrom a\n", 14));
    f.rows = {png, f.temp.write("m/box.mbox", message("A"))};

    const RunReport report = f.convert();
    ASSERT_EQ(report.failedMailboxes.size(), 1u);
    EXPECT_EQ(report.failedMailboxes[0].mailbox, png);
    EXPECT_EQ(report.failedMailboxes[0].error.kind, FailureKind::NotAMailbox);
    EXPECT_EQ(report.messagesConverted, 1);
    EXPECT_EQ(f.converter.calls.size(), 1u);
    EXPECT_EQ(f.observer.failedRows, std::vector<int>{0});
    EXPECT_EQ(f.observer.convertedRows, std::vector<int>{1});
    EXPECT_FALSE(std::filesystem::exists(toFsPath(f.outputFolderOf(png))));
}

TEST(ConversionRun, RegressionAMessageSavedAloneOrAfterLeadingTextConvertsAndKeepsEveryByte)
{
    RunFixture f;
    const std::string alone = "Subject: Alone\nFrom: Ann\n\nJust this.\n";
    const std::string headerFirst = "Subject: First\n\nNo envelope.\n" + message("Second");
    const std::string leading = "Exported by a tool\r\n\r\n";
    const std::string mailboxes[] = {f.temp.write("a/note.mbox", alone), f.temp.write("h/first.mbox", headerFirst),
                                     f.temp.write("l/box.mbox", leading + threeMessages())};
    f.rows.assign(std::begin(mailboxes), std::end(mailboxes));

    const RunReport report = f.convert();
    EXPECT_TRUE(report.allSucceeded());
    EXPECT_EQ(report.messagesConverted, 6);
    ASSERT_EQ(f.converter.calls.size(), 6u);
    EXPECT_EQ(f.converter.calls[0].sourceBytes, "Subject: Alone\r\nFrom: Ann\r\n\r\nJust this.\r\n\r\n");
    EXPECT_EQ(f.converter.calls[1].sourceBytes, "Subject: First\r\n\r\nNo envelope.\r\n\r\n");
    EXPECT_EQ(f.converter.calls[2].sourceBytes, message("Second", "\r\n") + "\r\n");
    EXPECT_EQ(f.converter.calls[3].sourceBytes, message("One", "\r\n") + "\r\n");

    const std::string kept = joinPath(f.outputFolderOf(mailboxes[2]), "box.mbox leading text.txt");
    EXPECT_EQ(readFileBytes(kept).value(), leading);
    const std::string noEnvelope = "the mailbox has no envelope line before its first message";
    EXPECT_EQ(report.warnings,
              (std::vector<std::string>{"note.mbox, message 1: " + noEnvelope, "first.mbox, message 1: " + noEnvelope,
                                        "box.mbox: the 22 bytes before its first \"From \" line "
                                        "are kept in '" +
                                            kept + "'"}));
    const std::string index = readFileBytes(joinPath(f.outputFolderOf(mailboxes[1]), "Tessaly index.csv")).value();
    EXPECT_NE(index.find(noEnvelope), std::string::npos) << index;

    // A re-run takes the leading text's earlier copy for its own, where the file system keeps marks.
    const FolderHandle folder = FolderHandle::open(f.outputFolderOf(mailboxes[2])).value();
    if (fileMark(folder, "box.mbox leading text.txt").empty())
        return;
    EXPECT_TRUE(f.convert().allSucceeded());
    EXPECT_EQ(folder.entryType("box.mbox leading text (2).txt").value(), EntryType::Missing);
}

TEST(ConversionRun, TextWithoutAnyMessageFailsAsNotAMailbox)
{
    RunFixture f;
    f.rows = {f.temp.write("t/notes.mbox", "readme\nno mail here\n")};

    const RunReport report = f.convert();
    ASSERT_EQ(report.failedMailboxes.size(), 1u);
    EXPECT_EQ(report.failedMailboxes[0].error.kind, FailureKind::NotAMailbox);
    EXPECT_TRUE(f.converter.calls.empty());
}

TEST(ConversionRun, AStopKeepsWhatIsCommittedRemovesTheMessageFilesInFlightAndAReRunCompletes)
{
    // The stop comes while message 2 is converted: once as that conversion completes, once as
    // the wait for it is broken off (the converter then fails it).
    for (const RecordingConverter::Outcome second :
         {RecordingConverter::Outcome::Succeed, RecordingConverter::Outcome::Fail}) {
        RunFixture f;
        const std::string mailbox = f.temp.write("m/box.mbox", threeMessages() + message("Four"));
        f.rows = {mailbox, f.temp.write("n/next.mbox", message("Next"))};
        ConversionRun run = f.makeRun();
        f.converter.outcome = [&](int call, const RecordingConverter::Call &) {
            if (call != 2)
                return RecordingConverter::Outcome::Succeed;
            run.requestStop();
            return second;
        };
        const RunReport stopped = run.convertInto(f.temp.file("out"));

        const bool secondKept = second == RecordingConverter::Outcome::Succeed;
        ASSERT_TRUE(stopped.stoppedByUser());
        EXPECT_EQ(stopped.stoppedAt->mailbox, mailbox);
        EXPECT_EQ(stopped.stoppedAt->messageNumber, secondKept ? 3 : 2);
        EXPECT_EQ(stopped.messagesConverted, secondKept ? 2 : 1);
        EXPECT_TRUE(stopped.failedMessages.empty());
        EXPECT_TRUE(f.observer.convertedRows.empty());
        EXPECT_TRUE(f.observer.failedRows.empty());
        std::vector<std::string> left = {"One.pdf", "Tessaly index.csv"};
        if (secondKept)
            left.push_back("Two.pdf");
        EXPECT_EQ(TempFolder::fileNames(f.outputFolderOf(mailbox)), left);
        EXPECT_EQ(f.converter.calls.size(), 2u);

        f.converter.outcome = {};
        const RunReport resumed = f.convert();
        EXPECT_TRUE(resumed.allSucceeded());
        EXPECT_EQ(resumed.messagesSkipped, stopped.messagesConverted);
        EXPECT_EQ(resumed.messagesConverted + resumed.messagesSkipped, 5);
        EXPECT_EQ(TempFolder::fileNames(f.outputFolderOf(mailbox)),
                  (std::vector<std::string>{"Four.pdf", "One.pdf", "Tessaly index.csv", "Three.pdf", "Two.pdf"}));
    }
}

TEST(ConversionRun, ConverterThatCannotStartFailsEveryMailbox)
{
    RunFixture f;
    MailConverterFactory broken = []() -> Result<std::unique_ptr<MailConverter>> {
        return Error{"no renderer", FailureKind::InternalError};
    };
    ConversionRun run(wholeMailboxRows({f.temp.write("a.mbox", message("A")), ""}), {}, f.observer, broken,
                      fakeReaderFactory());

    const RunReport report = run.convertInto(f.temp.file("out"));
    ASSERT_EQ(report.failedMailboxes.size(), 1u);
    EXPECT_NE(report.failedMailboxes[0].error.message.find("no renderer"), std::string::npos);
}

TEST(ConversionRun, RegressionAMailboxListedTwiceIsConvertedOnceAndReportedSkipped)
{
    RunFixture f;
    const std::string mailbox = f.temp.write("m/box.mbox", threeMessages());
    const std::string other = f.temp.write("n/other.mbox", message("Other"));
    std::filesystem::create_directory_symlink(toFsPath(f.temp.file("m")), toFsPath(f.temp.file("link")));
    f.rows = {mailbox, other, mailbox, joinPath(f.temp.file("link"), "box.mbox")};

    const RunReport report = f.convert();
    EXPECT_EQ(f.converter.calls.size(), 4u);
    EXPECT_EQ(TempFolder::fileNames(f.outputFolderOf(mailbox)),
              (std::vector<std::string>{"One.pdf", "Tessaly index.csv", "Three.pdf", "Two.pdf"}));
    EXPECT_EQ(report.skippedDuplicates.size(), 2u);
    EXPECT_TRUE(report.allSucceeded());
    EXPECT_EQ(f.observer.convertedRows, (std::vector<int>{0, 1, 2, 3}));
}

TEST(ConversionRun, ConverterWarningsAreReportedWithTheirMessage)
{
    struct WarningConverter : RecordingConverter
    {
        using MailConverter::Convert;
        Result<ConvertedMessage> Convert(const FileInFolder &source, const FileInFolder &destination,
                                         const std::string &options) override
        {
            Result<ConvertedMessage> result = RecordingConverter::Convert(source, destination, options);
            if (result && calls.size() == 1)
                result.value().warnings.push_back("the HTML body was drawn by the plain-text renderer");
            return result;
        }
    };
    RunFixture f;
    std::string mailbox;
    for (int i = 0; i < 14; ++i)
        mailbox += message("M" + std::to_string(i));
    f.rows = {f.temp.write("m/box.mbox", mailbox)};
    WarningConverter converter;
    converter.outcome = [](int call, const RecordingConverter::Call &) {
        return call <= 2 ? RecordingConverter::Outcome::Succeed : RecordingConverter::Outcome::Fail;
    };

    const RunReport report = f.makeRun(converter).convertInto(f.temp.file("out"));
    EXPECT_EQ(report.messagesConverted, 2);
    EXPECT_EQ(report.messagesWithWarnings, 1);
    EXPECT_EQ(report.failedMessages.size(), 12u);
    EXPECT_EQ(report.warnings,
              std::vector<std::string>{"box.mbox, message 1: the HTML body was drawn by the plain-text renderer"});
}

TEST(ConversionRun, ProgressCoversTheWholeRunAndEndsAtEveryByte)
{
    RunFixture f;
    const std::string first = threeMessages();
    const std::string second = message("Last");
    f.rows = {f.temp.write("a/a.mbox", first), f.temp.write("b/b.mbox", second)};

    f.convert();
    ASSERT_FALSE(f.observer.progress.empty());
    EXPECT_EQ(f.observer.runStartedBytes, first.size() + second.size());
    // After the first message of the first mailbox the bar has moved, before any chunk ended.
    EXPECT_EQ(f.observer.progress.front().messagesDone, 1);
    EXPECT_GT(f.observer.progress.front().bytesSplit, 0u);
    EXPECT_LT(f.observer.progress.front().bytesSplit, first.size());
    for (std::size_t i = 1; i < f.observer.progress.size(); ++i)
        EXPECT_GE(f.observer.progress[i].bytesSplit, f.observer.progress[i - 1].bytesSplit);
    EXPECT_EQ(f.observer.progress.back().bytesSplit, first.size() + second.size());
    EXPECT_EQ(f.observer.progress.back().messagesDone, 4);
    EXPECT_TRUE(f.observer.runEnded);
}

TEST(ConversionRun, AFailedMailboxTakesBackTheEmptyFoldersItsRunMade)
{
    RunFixture f;
    const std::string missing = f.temp.file("deep/er/missing.mbox");
    const std::string empty = f.temp.write("e/empty.mbox", "");
    f.rows = {missing, empty};
    std::filesystem::create_directories(toFsPath(f.temp.file("out") + pathWithoutRoot(f.temp.path())));

    const RunReport report = f.convert();
    EXPECT_EQ(report.failedMailboxes.size(), 1u);
    EXPECT_FALSE(std::filesystem::exists(toFsPath(f.temp.file("out") + pathWithoutRoot(f.temp.file("deep")))));
    EXPECT_FALSE(std::filesystem::exists(toFsPath(f.outputFolderOf(empty))));
    // What was there before the run stays.
    EXPECT_TRUE(std::filesystem::exists(toFsPath(f.temp.file("out") + pathWithoutRoot(f.temp.path()))));
}

TEST(ConversionRun, ALinkPlantedInTheOutputTreeIsNotFollowed)
{
    RunFixture f;
    const std::string mailbox = f.temp.write("m/box.mbox", message("A"));
    const std::string planted = f.outputFolderOf(mailbox);
    std::filesystem::create_directories(toFsPath(planted).parent_path());
    std::filesystem::create_directory(toFsPath(f.temp.file("elsewhere")));
    std::filesystem::create_directory_symlink(toFsPath(f.temp.file("elsewhere")), toFsPath(planted));
    f.rows = {mailbox};

    // An index file planted as a link to a file elsewhere, which a root run once cut and appended to.
    const std::string victim = f.temp.write("victim/passwd", "root:x:0:0\n");
    const std::string second = f.temp.write("n/box.mbox", message("B"));
    std::filesystem::create_directories(toFsPath(f.outputFolderOf(second)));
    std::filesystem::create_symlink(toFsPath(victim),
                                    toFsPath(joinPath(f.outputFolderOf(second), "Tessaly index.csv")));
    f.rows = {mailbox, second};

    const RunReport report = f.convert();
    ASSERT_EQ(report.failedMailboxes.size(), 1u);
    EXPECT_NE(report.failedMailboxes[0].error.message.find("symbolic link"), std::string::npos);
    EXPECT_TRUE(TempFolder::fileNames(f.temp.file("elsewhere")).empty());
    EXPECT_EQ(report.messagesConverted, 1);
    ASSERT_EQ(report.warnings.size(), 1u);
    EXPECT_NE(report.warnings[0].find("not permitted"), std::string::npos) << report.warnings[0];
    EXPECT_EQ(readFileBytes(victim).value(), "root:x:0:0\n");
}

TEST(OutputTree, RepeatsTheMailboxPathBelowTheOutputFolder)
{
#ifndef _WIN32
    EXPECT_EQ(mailboxOutputFolder("/out/", "/home/ann/Mail/x.mbox").value(), "/out/home/ann/Mail/x.mbox");
    EXPECT_EQ(mailboxOutputFolder("/out", "/home/ann/../bob/x.mbox").value(), "/out/home/bob/x.mbox");
    EXPECT_EQ(mailboxOutputFolder("/out", "/home/ann/Old.MBOX/mbox").value(), "/out/home/ann/Old.MBOX")
        << "an Apple Mail export's PDFs go in a folder of the export's name";
    EXPECT_EQ(mailboxOutputFolder("/out", "/home/ann/Mail/mbox").value(), "/out/home/ann/Mail/mbox");
    EXPECT_FALSE(mailboxOutputFolder("/", "/home/x.mbox").ok());
    EXPECT_FALSE(mailboxOutputFolder("/out/", "/").ok());
#endif
}

TEST(ConversionRun, MessagesConvertedConcurrentlyAreRecordedInMailboxOrder)
{
    // Holds up to three messages and converts each only when the run finishes it; says what it
    // was asked to do, in order, in `events`.
    struct Pipelined : ConcurrentMailConverter
    {
        Pipelined(RecordingConverter &converter, std::vector<std::string> &log) : target(converter), events(log) {}
        int capacity() const override { return 3; }
        void begin(const FileInFolder &source, const FileInFolder &destination, const std::string &options) override
        {
            begun.push_back({source, destination, options});
            events.push_back("begin " + source.name);
        }
        Result<ConvertedMessage> finishOldest() override
        {
            const Begun oldest = begun.front();
            begun.pop_front();
            events.push_back("finish " + oldest.source.name);
            return target.Convert(oldest.source, oldest.destination, oldest.options);
        }
        struct Begun
        {
            FileInFolder source;
            FileInFolder destination;
            std::string options;
        };
        RecordingConverter &target;
        std::vector<std::string> &events;
        std::deque<Begun> begun;
    };
    RunFixture f;
    const std::string mailbox = f.temp.write("m/box.mbox", message("A") + message("B") + message("C") + message("D"));
    f.converter.outcome = [](int call, const RecordingConverter::Call &) {
        return call == 2 ? RecordingConverter::Outcome::Fail : RecordingConverter::Outcome::Succeed;
    };
    std::vector<std::string> events;
    ConcurrentMailConverterFactory factory = [&]() -> Result<std::unique_ptr<ConcurrentMailConverter>> {
        return std::unique_ptr<ConcurrentMailConverter>(std::make_unique<Pipelined>(f.converter, events));
    };
    const RunReport report = ConversionRun(wholeMailboxRows({mailbox}), {}, f.observer, factory, fakeReaderFactory())
                                 .convertInto(f.temp.file("out"));

    // Three in flight at most: the fourth is begun once the first is finished.
    EXPECT_EQ(events, (std::vector<std::string>{"begin email-1.eml", "begin email-2.eml", "begin email-3.eml",
                                                "finish email-1.eml", "begin email-4.eml", "finish email-2.eml",
                                                "finish email-3.eml", "finish email-4.eml"}));
    EXPECT_EQ(f.observer.finishedMessages,
              (std::vector<std::pair<int, MessageOutcome>>{{1, MessageOutcome::Converted},
                                                           {2, MessageOutcome::Failed},
                                                           {3, MessageOutcome::Converted},
                                                           {4, MessageOutcome::Converted}}));
    ASSERT_EQ(report.failedMessages.size(), 1u);
    EXPECT_EQ(report.failedMessages[0].messageNumber, 2);
    EXPECT_EQ(TempFolder::fileNames(f.outputFolderOf(mailbox)),
              (std::vector<std::string>{"A.pdf", "C.pdf", "D.pdf", "Tessaly index.csv", "email-2.eml"}));
}

#ifdef __linux__
TEST(ConversionRun, AFullDiskStopsTheRunAtOnceAndAReRunAfterwardsLosesNoMessage)
{
    RunFixture f;
    const std::string body(100 * 1024, 'x');
    std::string mailboxText;
    for (int number = 1; number <= 40; ++number)
        mailboxText += message("M" + std::to_string(number)) + body + "\n";
    const std::string mailbox = f.temp.write("m/box.mbox", mailboxText);
    f.rows = {mailbox};
    const std::string out = f.temp.folder("out");
    if (::mount("tmpfs", out.c_str(), "tmpfs", 0, "size=2m") != 0)
        GTEST_SKIP() << "cannot mount a small tmpfs here (needs root)";
    struct Unmount
    {
        std::string path;
        ~Unmount() { ::umount2(path.c_str(), MNT_DETACH); }
    } unmount{out};

    const RunReport stopped = f.convert();
    ASSERT_TRUE(stopped.stoppedAt.has_value());
    EXPECT_EQ(stopped.stoppedAt->error.kind, FailureKind::DiskFull);
    EXPECT_EQ(stopped.stoppedAt->mailbox, mailbox);
    EXPECT_GT(stopped.messagesConverted, 0);
    EXPECT_LE(stopped.failedMessages.size(), 2u) << "later messages are not failed in turn";
    EXPECT_LT(stopped.messagesConverted + static_cast<int>(stopped.failedMessages.size()), 40);
    for (const MessageFailure &failure : stopped.failedMessages) {
        EXPECT_EQ(failure.error.kind, FailureKind::DiskFull) << failure.error.message;
        // The report names only message files that are there.
        EXPECT_TRUE(failure.keptMessageFile.empty() || std::filesystem::exists(toFsPath(failure.keptMessageFile)))
            << failure.keptMessageFile;
    }
    EXPECT_NE(RecordingConverter::readAll(joinPath(f.outputFolderOf(mailbox), "Tessaly index.csv"))
                  .find("failed: disk-full,the disk is full: "),
              std::string::npos);

    ASSERT_EQ(::mount("tmpfs", out.c_str(), "tmpfs", MS_REMOUNT, "size=16m"), 0);
    const RunReport resumed = f.convert();
    EXPECT_TRUE(resumed.allSucceeded());
    EXPECT_FALSE(resumed.stoppedAt.has_value());
    EXPECT_EQ(resumed.messagesSkipped, stopped.messagesConverted);
    EXPECT_EQ(resumed.messagesSkipped + resumed.messagesConverted, 40);
    for (int number = 1; number <= 40; ++number) {
        const std::string subject = "M" + std::to_string(number);
        EXPECT_NE(RecordingConverter::readAll(joinPath(f.outputFolderOf(mailbox), subject + ".pdf"))
                      .find("Subject: " + subject + "\r\n"),
                  std::string::npos)
            << subject;
    }
}
#endif
