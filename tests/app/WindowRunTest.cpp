// The window's side of a run: the folder choice, the Convert button, the report box and its log.
#include "app/WindowRun.h"

#include "app/RunLog.h"

#include "support/FileNameRules.h"
#include "support/PathHelpers.h"
#include "tests/platform/ScriptedPlatform.h"
#include "tests/TestSupport/TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace tessaly {
namespace {

using testing::TempFolder;

const std::string kCompletionText = std::string(75, '*') +
                                    "\r\nYour messages from MBOX files has been successfully exported.\r\n" +
                                    std::string(75, '*') + "\r\n";

struct WindowRunFixture
{
    ScriptedPlatform platform;
    TempFolder out;
    int convertDisabled = 0;
    std::vector<std::string> convertedInto;
    RunReport report;

    std::optional<RunReport> run(const std::vector<std::string> &mailboxes)
    {
        return runWithOutputFolderChoice(
            platform, mailboxes, [this] { ++convertDisabled; },
            [this](const std::string &folder) {
                convertedInto.push_back(folder);
                report.outputFolder = folder;
                return report;
            });
    }
};

TEST(WindowRun, AnEmptyListRunsNothingAndLeavesConvertEnabled)
{
    // An empty list said "successfully exported" after converting nothing.
    for (const std::vector<std::string> &rows : {std::vector<std::string>{""}, std::vector<std::string>{"", "  "}}) {
        WindowRunFixture f;
        f.platform.queueFolder(f.out.root().string());
        EXPECT_FALSE(f.run(rows).has_value());
        ASSERT_EQ(f.platform.messages().size(), 1u);
        EXPECT_EQ(f.platform.messages()[0].style, MessageBoxStyle::Exclamation);
        EXPECT_NE(f.platform.messages()[0].text.find("no mailbox in the list"), std::string::npos);
        EXPECT_TRUE(f.platform.folderBrowserTitles().empty());
        EXPECT_EQ(f.convertDisabled, 0);
        EXPECT_TRUE(f.convertedInto.empty());
    }
}

TEST(WindowRun, ACleanRunEndsWithTheCompletionMessageTheCountsAndALogFile)
{
    WindowRunFixture f;
    f.report.messagesConverted = 4;
    f.report.skippedDuplicates = {"/mail/box.mbox", "/link/box.mbox"};
    f.platform.queueFolder(f.out.root().string());

    ASSERT_TRUE(f.run({"/mail/box.mbox"}).has_value());
    const std::string folder = withTrailingSeparator(f.out.root().string());
    EXPECT_EQ(f.convertedInto, std::vector<std::string>{folder});
    EXPECT_EQ(f.convertDisabled, 1);

    // The completion text, then one line of counts, time and output folder.
    ASSERT_EQ(f.platform.messages().size(), 1u);
    const ScriptedPlatform::ShownMessage &box = f.platform.messages()[0];
    EXPECT_EQ(box.style, MessageBoxStyle::Information);
    EXPECT_EQ(box.text.rfind(kCompletionText, 0), 0u);
    const std::string counts = box.text.substr(kCompletionText.size());
    EXPECT_EQ(counts, "Converted: 4, failed: 0, skipped: 2. Time: 0:00. Output folder: " + folder);
    EXPECT_NE(box.details.find("Skipped, listed twice: /link/box.mbox"), std::string::npos);
    EXPECT_EQ(box.folder, folder);

    // The same list kept as a log file in the output folder.
    std::vector<std::filesystem::path> logs;
    for (const auto &entry : std::filesystem::directory_iterator(f.out.root()))
        logs.push_back(entry.path());
    ASSERT_EQ(logs.size(), 1u);
    EXPECT_EQ(logs[0].filename().string().rfind("Tessaly report ", 0), 0u);
    EXPECT_NE(box.details.find("The report is saved as " + logs[0].string()), std::string::npos);
    std::ostringstream log;
    log << std::ifstream(logs[0]).rdbuf();
    EXPECT_EQ(log.str().rfind(counts + "\r\n\r\n", 0), 0u);
    EXPECT_NE(log.str().find("Skipped, listed twice: /mail/box.mbox"), std::string::npos);
}

TEST(WindowRun, ARunWithProblemsSumsThemUpAndListsEveryOneInTheDetails)
{
    WindowRunFixture f;
    f.report.messagesConverted = 2;
    f.report.messagesWithWarnings = 1;
    f.report.messagesSkipped = 2;
    for (int number = 3; number <= 14; ++number)
        f.report.failedMessages.push_back(
            {"/mail/box.mbox", number, "", Error{"cannot render", FailureKind::RenderFailed}, 100u * number});
    f.report.failedMailboxes.push_back({"/mail/gone.mbox", Error{"cannot open the mailbox", FailureKind::Unreadable}});
    f.report.emptyMailboxes.push_back("/mail/empty.mbox");
    f.report.warnings.push_back("box.mbox, message 1: the HTML body was drawn by the plain-text renderer");
    f.platform.queueFolder(f.out.root().string());

    ASSERT_TRUE(f.run({"/mail/box.mbox"}).has_value());
    const ScriptedPlatform::ShownMessage &box = f.platform.messages().at(0);
    EXPECT_EQ(box.style, MessageBoxStyle::Exclamation);
    for (const char *line : {"2 messages were converted.", "12 messages could not be converted:",
                             "  could not be rendered (12):", "box.mbox, message 3 (byte 300): cannot render",
                             "... and 2 more", "1 mailbox failed:", "1 mailbox was empty:",
                             "Converted: 2 (1 with warnings), failed: 13, skipped: 0, already converted earlier: 2."})
        EXPECT_NE(box.text.find(line), std::string::npos) << line;
    EXPECT_EQ(box.text.find("successfully"), std::string::npos);
    EXPECT_NE(box.details.find("box.mbox, message 14 (byte 1400)"), std::string::npos);
    EXPECT_NE(box.details.find("Warning: box.mbox, message 1: the HTML body was drawn"), std::string::npos);
}

} // namespace
TEST(RunLog, RegressionAReportFilePlantedAsALinkIsPassedOverNotWrittenThrough)
{
    TempFolder out;
    const std::time_t when = 1700000000;
    const std::string victim = out.write("victim.txt", "kept");
    std::filesystem::create_symlink(victim, out.file(runLogFileName(when)));
    RunReport report;
    report.outputFolder = out.path();

    Result<std::string> written = writeRunLog(report, when);
    ASSERT_TRUE(written) << written.error().message;
    EXPECT_EQ(PathFileName(written.value()), numberedVariant(runLogFileName(when), 2));
    std::ostringstream kept;
    kept << std::ifstream(victim).rdbuf();
    EXPECT_EQ(kept.str(), "kept");
}

} // namespace tessaly
