// A run from the window, through its controls: the folder choice, the progress the window
// shows, stop and exit mid-run, the report box, the run marks and one PDF per mailbox.
#include "tests/app/WindowTestFixture.h"

#include "app/ArchiveOptions.h"

#include "support/PathHelpers.h"
#include "tests/TestSupport/TempFolder.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QStandardPaths>

#include <filesystem>

namespace tessaly {
namespace {

using testing::RecordingConverter;
using testing::TempFolder;
using testing::twoMessages;
using testing::WindowTest;

TEST_F(WindowTest, WithOnePdfPerMailboxChosenEachConvertedMailboxIsBundledAndItsFailureReachesTheReport)
{
    /// Takes each part it is given, and refuses the second mailbox's.
    struct Assembler : BundleAssembler
    {
        std::vector<std::pair<std::string, std::vector<std::string>>> *parts;
        explicit Assembler(std::vector<std::pair<std::string, std::vector<std::string>>> *into) : parts(into) {}
        Result<AssembledPart> assemble(const BundlePart &part, const FileInFolder &destination) override
        {
            std::vector<std::string> pdfs;
            for (const BundleMessage &message : part.messages)
                pdfs.push_back(message.pdf ? message.pdf->name : "-");
            parts->emplace_back(destination.path(), pdfs);
            if (part.title == "second.mbox")
                return Error{"no room", FailureKind::DiskFull};
            AssembledPart made;
            made.messages.resize(part.messages.size());
            return made;
        }
    };
    std::vector<std::pair<std::string, std::vector<std::string>>> parts;
    window.setBundleAssembler(
        [&parts] { return std::unique_ptr<BundleAssembler>(std::make_unique<Assembler>(&parts)); });
    QStandardPaths::setTestModeEnabled(true);
    setBundleChosen(true);

    TempFolder in;
    TempFolder out;
    in.write("Mail/first.mbox", twoMessages("One", "Two"));
    in.write("Mail/second.mbox", twoMessages("Three", "Four"));
    in.write("Mail/empty.mbox", "");
    platform.queueFiles({in.file("Mail/first.mbox"), in.file("Mail/empty.mbox"), in.file("Mail/second.mbox")});
    click("cmdAdd");
    click("OptSD");
    platform.queueFolder(out.root().string());
    click("CmdConvert");
    setBundleChosen(false);

    const std::string mail = fromFsPath(out.root() / pathWithoutRoot(in.file("Mail")));
    ASSERT_EQ(parts.size(), 2u);
    EXPECT_EQ(parts[0].first, mail + "/first.mbox.pdf");
    EXPECT_EQ(parts[0].second, (std::vector<std::string>{"One 02-01-2023.pdf", "Two 02-01-2023.pdf"}));
    EXPECT_TRUE(std::filesystem::exists(toFsPath(mail + "/first.mbox bundle.csv")));
    EXPECT_EQ(parts[1].first, mail + "/second.mbox.pdf");
    const ScriptedPlatform::ShownMessage &box = platform.messages().back();
    EXPECT_NE(box.details.find("Warning: second.mbox: no one PDF was made: cannot make '" + mail +
                               "/second.mbox.pdf': no room\r\n"),
              std::string::npos)
        << box.details;
    EXPECT_EQ(box.details.find("empty.mbox: no one PDF"), std::string::npos) << box.details;
}

TEST_F(WindowTest, AWholeRunConvertsEveryMailboxWhileTheListFollowsAlong)
{
    TempFolder in;
    TempFolder out;
    in.write("Mail/first.mbox", twoMessages("One", "Two"));
    in.write("Mail/second.mbox", twoMessages("Three", "Four"));
    platform.queueFiles({in.file("Mail/first.mbox"), in.file("Mail/second.mbox")});
    click("cmdAdd");
    click("OptSD");

    // Each progress text, with the list's current row when it first showed.
    std::vector<std::pair<std::string, int>> progress;
    bool listButtonsDisabledThroughout = true;
    bool optionsDisabledThroughout = true;
    platform.setOnProcessEvents([&] {
        optionsDisabledThroughout = optionsDisabledThroughout && !control<QGroupBox>("Frame1")->isEnabled() &&
                                    !control<QCheckBox>("ChkSaveAttach")->isEnabled();
        const std::string text = labelText("LblProgessCurrent").toStdString();
        if (text != "Mailbox  0 (of 0)" && (progress.empty() || progress.back().first != text))
            progress.emplace_back(text, control<QTableWidget>("grdFiles1")->currentRow());
        listButtonsDisabledThroughout = listButtonsDisabledThroughout && !button("cmdAdd")->isEnabled() &&
                                        !button("cmdClear1")->isEnabled() && !button("CmdAddFolder")->isEnabled();
    });
    platform.queueFolder(out.root().string());
    click("CmdConvert");
    platform.setOnProcessEvents({});

    const std::filesystem::path first = out.root() / pathWithoutRoot(in.file("Mail/first.mbox"));
    const std::filesystem::path second = out.root() / pathWithoutRoot(in.file("Mail/second.mbox"));
    EXPECT_TRUE(std::filesystem::exists(first / "One 02-01-2023.pdf"));
    EXPECT_TRUE(std::filesystem::exists(first / "Two 02-01-2023.pdf"));
    EXPECT_TRUE(std::filesystem::exists(second / "Three 02-01-2023.pdf"));
    EXPECT_TRUE(std::filesystem::exists(second / "Four 02-01-2023.pdf"));
    EXPECT_EQ(converter.calls.size(), 4u);

    EXPECT_TRUE(listButtonsDisabledThroughout);
    EXPECT_TRUE(optionsDisabledThroughout);
    const std::vector<std::pair<std::string, int>> expected{{"Mailbox 1 (of 2) ", 0}, {"Mailbox 2 (of 2) ", 1}};
    EXPECT_EQ(progress, expected);
    // The labels start afresh after the run; the report box holds what it did.
    EXPECT_EQ(labelText("LblProgessCurrent"), QStringLiteral("Mailbox  0 (of 0)"));
    EXPECT_EQ(labelText("LblIMMFile"), QString());
    EXPECT_EQ(labelText("LblProgress"), QStringLiteral("Saving :"));
    EXPECT_TRUE(control<QGroupBox>("Frame1")->isEnabled());
    EXPECT_FALSE(control<QGroupBox>("FrameAttach")->isEnabled());
    EXPECT_EQ(platform.folderBrowserTitles().back(), "Choose Folder to Save...");
    EXPECT_EQ(platform.messages().back().style, MessageBoxStyle::Information);

    // After the run the list is usable again, and Convert can run it again into another folder.
    EXPECT_TRUE(button("cmdAdd")->isEnabled());
    EXPECT_TRUE(button("cmdClear1")->isEnabled());
    EXPECT_TRUE(button("CmdConvert")->isEnabled());
    EXPECT_EQ(button("CmdConvert")->text(), QStringLiteral("Convert"));
    platform.queueFiles({in.write("Mail/third.mbox", twoMessages("Five", "Six"))});
    click("cmdAdd");
    EXPECT_TRUE(button("CmdConvert")->isEnabled());

    // The rows the run converted look different from the one added since.
    auto *grid = control<QTableWidget>("grdFiles1");
    EXPECT_EQ(grid->item(0, 0)->background(), grid->item(1, 0)->background());
    EXPECT_NE(grid->item(1, 0)->background(), grid->item(2, 0)->background());
    EXPECT_FALSE(grid->item(1, 0)->toolTip().isEmpty());
}

TEST_F(WindowTest, ARunThatEndsWhileTheWindowIsNotActiveIsToldOnTheDesktopWithItsProgressOnTheTaskbar)
{
    TempFolder in;
    TempFolder out;
    in.write("a.mbox", twoMessages("One", "Two"));
    platform.queueFiles({in.file("a.mbox")});
    click("cmdAdd");
    window.setNotifyAfter(std::chrono::milliseconds(0));
    platform.queueFolder(out.root().string());
    click("CmdConvert");

    ASSERT_EQ(platform.notifications().size(), 1u);
    EXPECT_TRUE(platform.notifications()[0].starts_with("Conversion finished: Converted: 2, failed: 0"))
        << platform.notifications()[0];
    const std::vector<std::optional<double>> &taskbar = platform.taskbarProgress();
    ASSERT_GE(taskbar.size(), 3u);
    EXPECT_EQ(taskbar.front(), 0.0);
    EXPECT_EQ(taskbar[taskbar.size() - 2], 1.0);
    EXPECT_EQ(taskbar.back(), std::nullopt);

    // A quick run tells nothing.
    window.setNotifyAfter(std::chrono::seconds(10));
    platform.queueFolder(out.root().string());
    click("CmdConvert");
    EXPECT_EQ(platform.notifications().size(), 1u);
}

TEST_F(WindowTest, CancellingTheOutputFolderLeavesConvertEnabled)
{
    platform.queueFiles({"/mail/a.mbox"});
    click("cmdAdd");
    click("CmdConvert");
    EXPECT_TRUE(button("CmdConvert")->isEnabled());
    EXPECT_TRUE(button("cmdAdd")->isEnabled());
    EXPECT_TRUE(converter.calls.empty());
    EXPECT_TRUE(platform.messages().empty());
}

TEST_F(WindowTest, ExitAnsweredNoMidRunLetsTheRunFinish)
{
    TempFolder in;
    TempFolder out;
    in.write("a.mbox", twoMessages("One", "Two"));
    platform.queueFiles({in.file("a.mbox")});
    click("cmdAdd");

    bool asked = false;
    platform.setOnProcessEvents([&] {
        if (asked)
            return;
        asked = true;
        platform.queueAnswer(MessageBoxAnswer::No);
        click("cmdEnd");
    });
    platform.queueFolder(out.root().string());
    click("CmdConvert");
    platform.setOnProcessEvents({});

    ASSERT_TRUE(asked);
    EXPECT_EQ(platform.messages().front().text, "Are you sure you want to exit now?");
    EXPECT_EQ(platform.messages().front().style, MessageBoxStyle::YesNoQuestion);
    EXPECT_EQ(processEndings, 0);
    EXPECT_EQ(converter.calls.size(), 2u);
    EXPECT_EQ(platform.messages().back().style, MessageBoxStyle::Information);
}

TEST_F(WindowTest, ClosingMidRunAsksAndStopsAndExitsOnYesOrGoesOnOnNo)
{
    for (const MessageBoxAnswer answer : {MessageBoxAnswer::No, MessageBoxAnswer::Yes}) {
        ScriptedPlatform scripted;
        frmStep1 run{scripted, testing::borrowConverter(converter), testing::fakeReaderFactory()};
        int endings = 0;
        run.setEndProcess([&] { ++endings; });
        TempFolder in;
        TempFolder out;
        in.write("a.mbox", twoMessages("One", "Two") + twoMessages("Three", "Four"));
        scripted.queueFiles({in.file("a.mbox")});
        run.findChild<QPushButton *>(QStringLiteral("cmdAdd"))->click();
        run.showCentred();
        converter.calls.clear();

        bool closed = false;
        scripted.setOnProcessEvents([&] {
            if (closed || converter.calls.empty())
                return;
            closed = true;
            scripted.queueAnswer(answer);
            run.close();
        });
        scripted.queueFolder(out.root().string());
        run.findChild<QPushButton *>(QStringLiteral("CmdConvert"))->click();
        scripted.setOnProcessEvents({});
        QCoreApplication::processEvents();

        const bool yes = answer == MessageBoxAnswer::Yes;
        ASSERT_TRUE(closed);
        EXPECT_EQ(scripted.messages().front().text, "A conversion is running. Stop it and exit?");
        EXPECT_EQ(endings, 0);
        EXPECT_EQ(converter.calls.size(), yes ? 1u : 4u);
        EXPECT_EQ(run.isVisible(), !yes);
        // On Yes the report is written and no box keeps the program from ending.
        EXPECT_EQ(scripted.messages().size(), yes ? 1u : 2u);
        bool reportWritten = false;
        for (const auto &entry : std::filesystem::directory_iterator(out.root()))
            reportWritten = reportWritten || entry.path().filename().string().starts_with("Tessaly report");
        EXPECT_TRUE(reportWritten);
    }
}

TEST_F(WindowTest, StopMidRunKeepsWhatIsDoneRemovesTheMessageFilesInFlightAndSaysStoppedByYou)
{
    TempFolder in;
    TempFolder out;
    in.write("a.mbox", twoMessages("One", "Two") + twoMessages("Three", "Four"));
    in.write("b.mbox", twoMessages("Five", "Six"));
    platform.queueFiles({in.file("a.mbox"), in.file("b.mbox")});
    click("cmdAdd");
    const QRect convertPlace = button("CmdConvert")->geometry();

    QString textMidRun;
    platform.setOnProcessEvents([&] {
        if (converter.calls.size() != 1 || !textMidRun.isEmpty())
            return;
        textMidRun = button("CmdConvert")->text();
        EXPECT_EQ(button("CmdConvert")->geometry(), convertPlace);
        EXPECT_TRUE(button("CmdConvert")->isEnabled());
        QTest::mouseClick(button("CmdConvert"), Qt::LeftButton);
    });
    platform.queueFolder(out.root().string());
    click("CmdConvert");
    platform.setOnProcessEvents({});

    EXPECT_EQ(textMidRun, QStringLiteral("Stop"));
    const std::filesystem::path first = out.root() / pathWithoutRoot(in.file("a.mbox"));
    EXPECT_EQ(TempFolder::fileNames(first.string()), (std::vector<std::string>{"One.pdf", "Tessaly index.csv"}));
    EXPECT_FALSE(std::filesystem::exists(out.root() / pathWithoutRoot(in.file("b.mbox"))));
    const ScriptedPlatform::ShownMessage &box = platform.messages().back();
    EXPECT_TRUE(box.text.starts_with("Stopped by you at message 2 of a.mbox.")) << box.text;
    EXPECT_NE(box.text.find("Converted: 1, failed: 0"), std::string::npos) << box.text;
    EXPECT_NE(box.details.find("The report is saved as"), std::string::npos);
    EXPECT_EQ(button("CmdConvert")->text(), QStringLiteral("Convert"));
    EXPECT_TRUE(button("CmdConvert")->isEnabled());
    // Neither converted nor failed: the rows keep no mark.
    auto *grid = control<QTableWidget>("grdFiles1");
    EXPECT_EQ(grid->item(0, 0)->background(), grid->item(1, 0)->background());
}

TEST_F(WindowTest, RegressionAFileThatIsNoLongerMailAtRunTimeFailsAndItsRowTurnsRed)
{
    TempFolder in;
    TempFolder out;
    in.write("x.mbox", twoMessages("One", "Two"));
    in.write("good.mbox", twoMessages("Three", "Four"));
    platform.queueFiles({in.file("x.mbox"), in.file("good.mbox")});
    click("cmdAdd");
    in.write("x.mbox", std::string("\x89PNG\r\n\x1a\n", 8));

    platform.queueFolder(out.root().string());
    click("CmdConvert");

    const ScriptedPlatform::ShownMessage &box = platform.messages().back();
    EXPECT_EQ(box.style, MessageBoxStyle::Exclamation);
    EXPECT_NE(box.text.find("not a mailbox"), std::string::npos) << box.text;
    EXPECT_NE(box.text.find("failed: 1"), std::string::npos) << box.text;
    auto *grid = control<QTableWidget>("grdFiles1");
    EXPECT_EQ(grid->item(0, 0)->background().color(), QColor(255, 204, 204));
    EXPECT_EQ(grid->item(1, 0)->background().color(), QColor(204, 236, 204));
    EXPECT_EQ(converter.calls.size(), 2u);
}

TEST_F(WindowTest, AnOutputFolderThatCannotBeWrittenIsSaidAndAskedForAgain)
{
    TempFolder in;
    TempFolder out;
    in.write("a.mbox", twoMessages("One", "Two"));
    platform.queueFiles({in.file("a.mbox")});
    click("cmdAdd");
    // Not writable even for root: a folder below a plain file.
    const std::string unwritable = in.file("a.mbox") + "/inside";
    platform.queueFolder(unwritable);
    platform.queueFolder(out.root().string());
    click("CmdConvert");

    ASSERT_EQ(platform.messages().size(), 2u);
    EXPECT_TRUE(platform.messages()[0].text.starts_with("Tessaly cannot write in " + unwritable + ": "))
        << platform.messages()[0].text;
    EXPECT_EQ(platform.messages()[0].style, MessageBoxStyle::Exclamation);
    EXPECT_EQ(platform.folderBrowserTitles().size(), 2u);
    EXPECT_EQ(converter.calls.size(), 2u);
}

TEST_F(WindowTest, AFullDiskStopsTheRunAndTheReportSaysWhichDiskWithTrueCounts)
{
    TempFolder in;
    TempFolder out;
    in.write("a.mbox", twoMessages("One", "Two") + twoMessages("Three", "Four"));
    in.write("b.mbox", twoMessages("Five", "Six"));
    platform.queueFiles({in.file("a.mbox"), in.file("b.mbox")});
    click("cmdAdd");
    converter.outcome = [](int call, const RecordingConverter::Call &) {
        return call == 2 ? RecordingConverter::Outcome::DiskFull : RecordingConverter::Outcome::Succeed;
    };
    platform.queueFolder(out.root().string());
    click("CmdConvert");

    const ScriptedPlatform::ShownMessage &box = platform.messages().back();
    EXPECT_TRUE(box.text.starts_with("The disk holding " + withTrailingSeparator(out.path()) +
                                     " is full. The export stopped at message 2 of a.mbox."))
        << box.text;
    // The message converting meanwhile is finished; none is begun after the full disk.
    EXPECT_NE(box.text.find("Converted: 2, failed: 1"), std::string::npos) << box.text;
    EXPECT_EQ(converter.calls.size(), 3u);
    // What the report says it kept is there; nothing else of the stopped mailbox is left.
    const std::filesystem::path first = out.root() / pathWithoutRoot(in.file("a.mbox"));
    EXPECT_EQ(TempFolder::fileNames(first.string()),
              (std::vector<std::string>{"One.pdf", "Tessaly index.csv", "Three.pdf", "email-2.eml"}));
    EXPECT_NE(box.text.find("kept as " + (first / "email-2.eml").string()), std::string::npos) << box.text;
    auto *grid = control<QTableWidget>("grdFiles1");
    EXPECT_EQ(grid->item(0, 0)->background().color(), QColor(255, 204, 204));
}

} // namespace
} // namespace tessaly
