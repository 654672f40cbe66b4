// The conversion run as the user sees it: output tree, files, progress texts and the final message.
#include "ConversionRun.h"

#include "ConvertMessage.h"
#include "FakeMessageReader.h"
#include "FakeRunView.h"
#include "OutputTree.h"
#include "RecordingConverter.h"
#include "ScriptedPlatform.h"
#include "TestSupport/TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace tessaly;
using namespace tessaly::testing;

namespace {

const std::string kCompletionText = std::string(75, '*') +
                                    "\r\nYour messages from MBOX files has been successfully exported.\r\n" +
                                    std::string(75, '*') + "\r\n";

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
    ScriptedPlatform platform;
    FakeRunView view;
    RecordingConverter converter;
    TempFolder temp;
    int convertersMade = 0;

    ConversionRun makeRun()
    {
        MailConverterFactory factory = [this]() -> Result<std::unique_ptr<MailConverter>> {
            ++convertersMade;
            return borrowConverter(converter)();
        };
        return ConversionRun(platform, view, view, view, factory, fakeReaderFactory());
    }

    std::string outputFolderOf(const std::string &mailbox) const
    {
        return mailboxOutputFolder(temp.file("out"), mailbox).value();
    }
};

} // namespace

TEST(ConversionRun, CancelledFolderChoiceChangesNothing)
{
    RunFixture f;
    f.view.rows = {f.temp.write("box.mbox", threeMessages())};
    ConversionRun run = f.makeRun();

    EXPECT_FALSE(run.runWithOutputFolderChoice().has_value());
    EXPECT_EQ(f.platform.folderBrowserTitles(), std::vector<std::string>{"Choose Folder to Save..."});
    EXPECT_TRUE(f.platform.messages().empty());
    EXPECT_TRUE(f.view.convertEnabledChanges.empty());
    EXPECT_EQ(f.convertersMade, 0);
    EXPECT_FALSE(std::filesystem::exists(toFsPath(f.temp.file("out"))));
}

TEST(ConversionRun, ThreeMessagesBecomeThreePdfsAndTheCompletionMessage)
{
    RunFixture f;
    const std::string mailbox = f.temp.write("Mail/2019/Inbox.mbox", threeMessages());
    f.view.rows = {mailbox};
    f.view.naming = NamingOption::OptSD;
    f.platform.queueFolder(f.temp.file("out"));
    ConversionRun run = f.makeRun();

    std::optional<RunReport> report = run.runWithOutputFolderChoice();
    ASSERT_TRUE(report.has_value());
    EXPECT_TRUE(report->allSucceeded());
    EXPECT_EQ(report->messagesConverted, 3);

    const std::string folder = f.outputFolderOf(mailbox);
    EXPECT_EQ(folder, joinPath(f.temp.file("out"), pathWithoutRoot(mailbox)));
    EXPECT_EQ(TempFolder::fileNames(folder),
              (std::vector<std::string>{"One 05-03-2021.pdf", "Tessaly index.csv", "Three 05-03-2021.pdf",
                                        "Two 05-03-2021.pdf"}));

    ASSERT_EQ(f.converter.calls.size(), 3u);
    EXPECT_EQ(f.converter.calls[0].source, joinPath(folder, "email-1.eml"));
    EXPECT_EQ(f.converter.calls[2].source, joinPath(folder, "email-3.eml"));
    EXPECT_EQ(f.converter.calls[1].sourceBytes, message("Two", "\r\n") + "\r\n");
    EXPECT_EQ(f.converter.calls[0].options, "-c pdf");

    EXPECT_EQ(f.view.mailboxProgress, std::vector<std::string>{"Mailbox 1 (of 1) "});
    EXPECT_EQ(f.view.mailboxFileNames, std::vector<std::string>{"Inbox.mbox"});
    EXPECT_EQ(f.view.savedProgress,
              (std::vector<std::string>{"Saved 1 Email Messages...", "Saved 2 Email Messages...",
                                        "Saved 3 Email Messages..."}));
    ASSERT_EQ(f.platform.messages().size(), 1u);
    EXPECT_EQ(f.platform.messages()[0].text.rfind(kCompletionText, 0), 0u);
    EXPECT_EQ(f.platform.messages()[0].style, MessageBoxStyle::Information);
    EXPECT_EQ(f.view.convertEnabledChanges, std::vector<bool>{false});
    EXPECT_EQ(f.convertersMade, 1);
    EXPECT_GT(f.platform.eventPumpCount(), 0);
    EXPECT_FALSE(run.mailConverter) << "the converter lives for one run";
}

TEST(ConversionRun, BothModesWriteByteIdenticalMessageFiles)
{
    RunFixture f;
    // LF goes to block mode, CR to line mode, LF with a first line over 512 bytes to line mode.
    const std::string longEnvelope = "From " + std::string(600, 'x') + "\n";
    f.view.rows = {f.temp.write("a/lf.mbox", threeMessages("\n")),
                   f.temp.write("b/cr.mbox", threeMessages("\r")),
                   f.temp.write("c/crlf.mbox", threeMessages("\r\n")),
                   f.temp.write("d/long.mbox", longEnvelope + "\n" + threeMessages("\n"))};
    ConversionRun run = f.makeRun();

    const RunReport report = run.convertInto(f.temp.file("out"));
    EXPECT_TRUE(report.allSucceeded());
    EXPECT_EQ(report.mailboxesRead, 4);
    ASSERT_EQ(f.converter.calls.size(), 13u);
    for (std::size_t mailbox = 1; mailbox < 3; ++mailbox) {
        for (std::size_t m = 0; m < 3; ++m)
            EXPECT_EQ(f.converter.calls[mailbox * 3 + m].sourceBytes, f.converter.calls[m].sourceBytes);
    }
    EXPECT_EQ(f.converter.calls[9].sourceBytes,
              longEnvelope.substr(0, longEnvelope.size() - 1) + "\r\n\r\n\r\n");
    EXPECT_EQ(f.converter.calls[12].sourceBytes, f.converter.calls[2].sourceBytes);
}

TEST(ConversionRun, ProgressNamesEachMailboxOfTheListAndSkipsEmptyRows)
{
    RunFixture f;
    f.view.rows = {f.temp.write("x/a.mbox", message("A")), "", "   ", f.temp.write("y/b.mbox", message("B"))};
    ConversionRun run = f.makeRun();

    const RunReport report = run.convertInto(f.temp.file("out"));
    EXPECT_TRUE(report.allSucceeded());
    EXPECT_EQ(f.view.mailboxProgress, (std::vector<std::string>{"Mailbox 1 (of 4) ", "Mailbox 4 (of 4) "}));
    EXPECT_EQ(f.view.currentRows, (std::vector<int>{0, 3}));
    EXPECT_EQ(f.view.savedProgress,
              (std::vector<std::string>{"Saved 1 Email Messages...", "Saved 1 Email Messages..."}));
}

TEST(ConversionRun, FailedConversionKeepsItsMessageFileAndTheRunGoesOn)
{
    for (auto failure : {RecordingConverter::Outcome::Fail, RecordingConverter::Outcome::Throw}) {
        RunFixture f;
        const std::string mailbox = f.temp.write("m/box.mbox", threeMessages());
        f.view.rows = {mailbox};
        f.platform.queueFolder(f.temp.file("out"));
        f.converter.outcome = [&](int call, const RecordingConverter::Call &) {
            return call == 2 ? failure : RecordingConverter::Outcome::Succeed;
        };
        ConversionRun run = f.makeRun();

        const RunReport report = run.runWithOutputFolderChoice().value();
        const std::string folder = f.outputFolderOf(mailbox);
        EXPECT_EQ(report.messagesConverted, 2);
        ASSERT_EQ(report.failedMessages.size(), 1u);
        EXPECT_EQ(report.failedMessages[0].messageNumber, 2);
        EXPECT_EQ(report.failedMessages[0].keptMessageFile, joinPath(folder, "email-2.eml"));
        EXPECT_EQ(RecordingConverter::readAll(joinPath(folder, "email-2.eml")),
                  message("Two", "\r\n") + "\r\n");
        EXPECT_EQ(TempFolder::fileNames(folder),
                  (std::vector<std::string>{"One.pdf", "Tessaly index.csv", "Three.pdf", "email-2.eml"}));
        EXPECT_EQ(f.view.finishedMessages,
                  (std::vector<std::pair<int, bool>>{{1, true}, {2, false}, {3, true}}));

        ASSERT_EQ(f.platform.messages().size(), 1u);
        EXPECT_EQ(f.platform.messages()[0].style, MessageBoxStyle::Exclamation);
        EXPECT_NE(f.platform.messages()[0].text.find("2 messages were converted"), std::string::npos);
        EXPECT_NE(f.platform.messages()[0].text.find("box.mbox, message 2 (byte "), std::string::npos);
    }
}

TEST(ConversionRun, ReaderThatThrowsFailsOnlyItsMessage)
{
    struct ThrowingReader : FakeMessageReader
    {
        std::string Subject() const override { throw std::runtime_error("bad header"); }
    };
    RunFixture f;
    f.view.rows = {f.temp.write("m/box.mbox", threeMessages())};
    int readers = 0;
    ConversionRun run(f.platform, f.view, f.view, f.view, borrowConverter(f.converter), [&] {
        return ++readers == 2 ? std::unique_ptr<MessageReader>(std::make_unique<ThrowingReader>())
                              : std::unique_ptr<MessageReader>(std::make_unique<FakeMessageReader>());
    });

    const RunReport report = run.convertInto(f.temp.file("out"));
    EXPECT_EQ(report.messagesConverted, 2);
    ASSERT_EQ(report.failedMessages.size(), 1u);
    EXPECT_EQ(report.failedMessages[0].reason, "bad header");
    EXPECT_TRUE(FileExists(report.failedMessages[0].keptMessageFile));
    EXPECT_FALSE(run.messageReader);
}

TEST(ConversionRun, RegressionKeptMessageFileIsNeverOverwritten)
{
    RunFixture f;
    const std::string mailbox = f.temp.write("m/box.mbox", message("First"));
    const std::string other = f.temp.write("m2/box.mbox", message("Second"));
    f.view.rows = {mailbox};
    f.converter.outcome = [](int, const RecordingConverter::Call &) {
        return RecordingConverter::Outcome::Fail;
    };
    ConversionRun run = f.makeRun();
    run.convertInto(f.temp.file("out"));

    // A later run into the same folder, of another mailbox whose message also fails.
    const std::string folder = f.outputFolderOf(mailbox);
    std::filesystem::copy_file(toFsPath(other), toFsPath(mailbox),
                               std::filesystem::copy_options::overwrite_existing);
    const RunReport report = run.convertInto(f.temp.file("out"));
    ASSERT_EQ(report.failedMessages.size(), 1u);
    EXPECT_EQ(report.failedMessages[0].keptMessageFile, joinPath(folder, "email-1 (2).eml"));
    EXPECT_EQ(RecordingConverter::readAll(joinPath(folder, "email-1.eml")),
              message("First", "\r\n") + "\r\n");
    EXPECT_EQ(RecordingConverter::readAll(joinPath(folder, "email-1 (2).eml")),
              message("Second", "\r\n") + "\r\n");
}

TEST(ConversionRun, UnreadableMailboxFailsAloneAndIsReported)
{
    RunFixture f;
    const std::string good = f.temp.write("ok/good.mbox", message("Good"));
    const std::string folderAsMailbox = f.temp.file("ok");
    f.view.rows = {f.temp.file("missing.mbox"), folderAsMailbox, good};
    f.platform.queueFolder(f.temp.file("out"));
    ConversionRun run = f.makeRun();

    const RunReport report = run.runWithOutputFolderChoice().value();
    EXPECT_EQ(report.messagesConverted, 1);
    ASSERT_EQ(report.failedMailboxes.size(), 2u);
    EXPECT_EQ(report.failedMailboxes[0].mailbox, f.temp.file("missing.mbox"));
    EXPECT_NE(report.failedMailboxes[0].reason.find("cannot open the mailbox"), std::string::npos)
        << report.failedMailboxes[0].reason;
    EXPECT_NE(report.failedMailboxes[1].reason.find("folder"), std::string::npos);
    ASSERT_EQ(f.platform.messages().size(), 1u);
    EXPECT_EQ(f.platform.messages()[0].style, MessageBoxStyle::Exclamation);
    EXPECT_NE(f.platform.messages()[0].text.find("2 mailboxes failed"), std::string::npos);
}

TEST(ConversionRun, UnwritableOutputFolderFailsTheMailbox)
{
    RunFixture f;
    const std::string mailbox = f.temp.write("m/box.mbox", message("A"));
    const std::string blocker = f.temp.write("out-is-a-file", "x");
    f.view.rows = {mailbox};
    ConversionRun run = f.makeRun();

    const RunReport report = run.convertInto(blocker);
    EXPECT_EQ(report.messagesConverted, 0);
    ASSERT_EQ(report.failedMailboxes.size(), 1u);
    EXPECT_NE(report.failedMailboxes[0].reason.find("cannot create the output folder"), std::string::npos);
    EXPECT_TRUE(f.converter.calls.empty());
}

TEST(ConversionRun, OutputFolderThatWouldBeTheMailboxItselfFailsTheMailbox)
{
    RunFixture f;
    const std::string mailbox = f.temp.write("m/box.mbox", message("A"));
    const std::string root = mailbox.substr(0, mailbox.size() - pathWithoutRoot(mailbox).size());
    f.view.rows = {mailbox};
    ConversionRun run = f.makeRun();

    const RunReport report = run.convertInto(root);
    ASSERT_EQ(report.failedMailboxes.size(), 1u);
    EXPECT_NE(report.failedMailboxes[0].reason.find("mailbox file itself"), std::string::npos);
    EXPECT_EQ(RecordingConverter::readAll(mailbox), message("A"));
}

TEST(ConversionRun, EmptyAndBlankMailboxesAreReported)
{
    RunFixture f;
    f.view.rows = {f.temp.write("e/empty.mbox", ""), f.temp.write("b/blank.mbox", "\r\n \n")};
    f.platform.queueFolder(f.temp.file("out"));
    ConversionRun run = f.makeRun();

    const RunReport report = run.runWithOutputFolderChoice().value();
    EXPECT_EQ(report.emptyMailboxes.size(), 2u);
    EXPECT_TRUE(f.converter.calls.empty());
    ASSERT_EQ(f.platform.messages().size(), 1u);
    EXPECT_EQ(f.platform.messages()[0].style, MessageBoxStyle::Exclamation);
    EXPECT_NE(f.platform.messages()[0].text.find("2 mailboxes held no message"), std::string::npos);
}

TEST(ConversionRun, ConverterThatCannotStartFailsEveryMailbox)
{
    RunFixture f;
    f.view.rows = {f.temp.write("a.mbox", message("A")), ""};
    MailConverterFactory broken = []() -> Result<std::unique_ptr<MailConverter>> {
        return Error{"no renderer"};
    };
    ConversionRun run(f.platform, f.view, f.view, f.view, broken, fakeReaderFactory());

    const RunReport report = run.convertInto(f.temp.file("out"));
    ASSERT_EQ(report.failedMailboxes.size(), 1u);
    EXPECT_NE(report.failedMailboxes[0].reason.find("no renderer"), std::string::npos);
}

TEST(ConversionRun, ASecondClickDuringARunStartsNothing)
{
    RunFixture f;
    f.view.rows = {f.temp.write("a.mbox", threeMessages())};
    f.platform.queueFolder(f.temp.file("out"));
    ConversionRun run = f.makeRun();
    int nestedStarts = 0;
    f.platform.setOnProcessEvents([&] {
        if (run.isRunning() && run.runWithOutputFolderChoice().has_value())
            ++nestedStarts;
    });

    EXPECT_TRUE(run.runWithOutputFolderChoice().has_value());
    EXPECT_EQ(nestedStarts, 0);
    EXPECT_EQ(f.converter.calls.size(), 3u);
}

TEST(ConversionRun, RowsRemovedDuringTheRunAreSkipped)
{
    RunFixture f;
    f.view.rows = {f.temp.write("a.mbox", message("A")), f.temp.write("b.mbox", message("B"))};
    ConversionRun run = f.makeRun();
    f.platform.setOnProcessEvents([&] { f.view.rows.resize(1); });

    const RunReport report = run.convertInto(f.temp.file("out"));
    EXPECT_EQ(report.mailboxesRead, 1);
    EXPECT_EQ(f.converter.calls.size(), 1u);
}

TEST(ConversionRun, RegressionOptionsAreTakenAtTheStartOfTheRun)
{
    // Options switched mid-run gave one mailbox folder PDFs in two naming patterns.
    RunFixture f;
    f.view.rows = {f.temp.write("a.mbox", threeMessages())};
    f.view.attachments = {true, false, true};
    ConversionRun run = f.makeRun();
    f.converter.outcome = [&](int, const RecordingConverter::Call &) {
        f.view.attachments = {false, false, true};
        f.view.naming = NamingOption::OptSD;
        return RecordingConverter::Outcome::Succeed;
    };

    run.convertInto(f.temp.file("out"));
    ASSERT_EQ(f.converter.calls.size(), 3u);
    for (const RecordingConverter::Call &call : f.converter.calls)
        EXPECT_EQ(call.options, "-c PDF -sattach");
    EXPECT_EQ(PathFileName(f.converter.calls[2].destination), "Three.pdf");
}

TEST(ConversionRun, RegressionAnEmptyListSaysThereIsNothingToConvertAndNeverSucceeds)
{
    for (const std::vector<std::string> &rows : {std::vector<std::string>{""}, std::vector<std::string>{"", "  "}}) {
        RunFixture f;
        f.view.rows = rows;
        f.platform.queueFolder(f.temp.file("out"));
        ConversionRun run = f.makeRun();

        EXPECT_FALSE(run.runWithOutputFolderChoice().has_value());
        ASSERT_EQ(f.platform.messages().size(), 1u);
        EXPECT_EQ(f.platform.messages()[0].style, MessageBoxStyle::Exclamation);
        EXPECT_NE(f.platform.messages()[0].text.find("no mailbox in the list"), std::string::npos);
        EXPECT_EQ(f.platform.messages()[0].text.find("successfully"), std::string::npos);
        EXPECT_TRUE(f.platform.folderBrowserTitles().empty());
        EXPECT_TRUE(f.view.convertEnabledChanges.empty()) << "Convert stays enabled";
        EXPECT_EQ(f.convertersMade, 0);
    }
}

TEST(ConversionRun, RegressionAMailboxListedTwiceIsConvertedOnceAndReportedSkipped)
{
    RunFixture f;
    const std::string mailbox = f.temp.write("m/box.mbox", threeMessages());
    const std::string other = f.temp.write("n/other.mbox", message("Other"));
    std::filesystem::create_directory_symlink(toFsPath(f.temp.file("m")), toFsPath(f.temp.file("link")));
    f.view.rows = {mailbox, other, mailbox, joinPath(f.temp.file("link"), "box.mbox")};
    f.platform.queueFolder(f.temp.file("out"));
    ConversionRun run = f.makeRun();

    const RunReport report = run.runWithOutputFolderChoice().value();
    EXPECT_EQ(f.converter.calls.size(), 4u);
    EXPECT_EQ(TempFolder::fileNames(f.outputFolderOf(mailbox)),
              (std::vector<std::string>{"One.pdf", "Tessaly index.csv", "Three.pdf", "Two.pdf"}));
    EXPECT_EQ(report.skippedDuplicates.size(), 2u);
    EXPECT_TRUE(report.allSucceeded());
    EXPECT_EQ(f.view.markedRows, (std::vector<int>{0, 1, 2, 3}));

    // The end box: the completion text, then one line of counts, time and output folder.
    ASSERT_EQ(f.platform.messages().size(), 1u);
    const ScriptedPlatform::ShownMessage &box = f.platform.messages()[0];
    EXPECT_EQ(box.style, MessageBoxStyle::Information);
    EXPECT_EQ(box.text.rfind(kCompletionText, 0), 0u);
    const std::string counts = box.text.substr(kCompletionText.size());
    EXPECT_EQ(counts.rfind("Converted: 4, failed: 0, skipped: 2. Time: 0:0", 0), 0u) << counts;
    EXPECT_NE(counts.find("Output folder: " + withTrailingSeparator(f.temp.file("out"))), std::string::npos);
    EXPECT_EQ(counts.find('\n'), std::string::npos);
    EXPECT_NE(box.details.find("Skipped, listed twice: " + mailbox), std::string::npos);
    EXPECT_EQ(box.folder, withTrailingSeparator(f.temp.file("out")));

    // The same list kept as a log file in the output folder.
    const std::vector<std::string> outFiles = TempFolder::fileNames(f.temp.file("out"));
    const auto log = std::find_if(outFiles.begin(), outFiles.end(),
                                  [](const std::string &name) { return name.rfind("Tessaly report ", 0) == 0; });
    ASSERT_NE(log, outFiles.end());
    const std::string logText = RecordingConverter::readAll(joinPath(f.temp.file("out"), *log));
    EXPECT_NE(logText.find("Skipped, listed twice: " + mailbox), std::string::npos);
}

TEST(ConversionRun, EveryFailureAndWarningIsInTheDetailsWithoutLimit)
{
    struct WarningConverter : RecordingConverter
    {
        Result<ConvertedMessage> Convert(const std::string &source, const std::string &destination,
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
    f.view.rows = {f.temp.write("m/box.mbox", mailbox)};
    f.platform.queueFolder(f.temp.file("out"));
    WarningConverter converter;
    converter.outcome = [](int call, const RecordingConverter::Call &) {
        return call <= 2 ? RecordingConverter::Outcome::Succeed : RecordingConverter::Outcome::Fail;
    };
    ConversionRun run(f.platform, f.view, f.view, f.view, borrowConverter(converter), fakeReaderFactory());

    const RunReport report = run.runWithOutputFolderChoice().value();
    EXPECT_EQ(report.messagesWithWarnings, 1);
    const ScriptedPlatform::ShownMessage &box = f.platform.messages().at(0);
    EXPECT_EQ(box.style, MessageBoxStyle::Exclamation);
    EXPECT_NE(box.text.find("Converted: 2 (1 with warnings), failed: 12, skipped: 0."), std::string::npos);
    EXPECT_NE(box.details.find("box.mbox, message 14 (byte "), std::string::npos);
    EXPECT_NE(box.details.find("Warning: box.mbox, message 1: the HTML body was drawn"), std::string::npos);
}

TEST(ConversionRun, ProgressCoversTheWholeRunAndEndsAtEveryByte)
{
    RunFixture f;
    const std::string first = threeMessages();
    const std::string second = message("Last");
    f.view.rows = {f.temp.write("a/a.mbox", first), f.temp.write("b/b.mbox", second)};
    ConversionRun run = f.makeRun();

    run.convertInto(f.temp.file("out"));
    ASSERT_FALSE(f.view.runProgress.empty());
    EXPECT_EQ(f.view.runStartedBytes, first.size() + second.size());
    // After the first message of the first mailbox the bar has moved, before any chunk ended.
    EXPECT_EQ(f.view.runProgress.front().messagesDone, 1);
    EXPECT_GT(f.view.runProgress.front().bytesSplit, 0u);
    EXPECT_LT(f.view.runProgress.front().bytesSplit, first.size());
    for (std::size_t i = 1; i < f.view.runProgress.size(); ++i)
        EXPECT_GE(f.view.runProgress[i].bytesSplit, f.view.runProgress[i - 1].bytesSplit);
    EXPECT_EQ(f.view.runProgress.back().bytesSplit, first.size() + second.size());
    EXPECT_EQ(f.view.runProgress.back().messagesDone, 4);
    EXPECT_TRUE(f.view.runEnded);
}

TEST(ConversionRun, AFailedMailboxTakesBackTheEmptyFoldersItsRunMade)
{
    RunFixture f;
    const std::string missing = f.temp.file("deep/er/missing.mbox");
    const std::string empty = f.temp.write("e/empty.mbox", "");
    f.view.rows = {missing, empty};
    std::filesystem::create_directories(toFsPath(f.temp.file("out") + pathWithoutRoot(f.temp.path())));
    ConversionRun run = f.makeRun();

    const RunReport report = run.convertInto(f.temp.file("out"));
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
    f.view.rows = {mailbox};
    ConversionRun run = f.makeRun();

    const RunReport report = run.convertInto(f.temp.file("out"));
    ASSERT_EQ(report.failedMailboxes.size(), 1u);
    EXPECT_NE(report.failedMailboxes[0].reason.find("symbolic link"), std::string::npos);
    EXPECT_TRUE(TempFolder::fileNames(f.temp.file("elsewhere")).empty());
}

TEST(ConvertOptionsText, UncheckedBoxMeansPdfOnlyWhateverTheButtonsShow)
{
    EXPECT_EQ(convertOptionsText({false, true, false}), "-c pdf");
    EXPECT_EQ(convertOptionsText({false, false, true}), "-c pdf");
    EXPECT_EQ(convertOptionsText({true, true, false}), "-c PDF -attach");
    EXPECT_EQ(convertOptionsText({true, false, true}), "-c PDF -sattach");
    EXPECT_EQ(convertOptionsText({true, false, false}), std::nullopt);
}

TEST(OutputTree, RepeatsTheMailboxPathBelowTheOutputFolder)
{
#ifndef _WIN32
    EXPECT_EQ(mailboxOutputFolder("/out/", "/home/ann/Mail/x.mbox").value(), "/out/home/ann/Mail/x.mbox");
    EXPECT_EQ(mailboxOutputFolder("/out", "/home/ann/../bob/x.mbox").value(), "/out/home/bob/x.mbox");
    EXPECT_FALSE(mailboxOutputFolder("/", "/home/x.mbox").ok());
    EXPECT_FALSE(mailboxOutputFolder("/out/", "/").ok());
#endif
}
