// The window through its controls: states, enabling rules, the list buttons, a run, exit.
#include "app/frmStep1.h"

#include "app/ArchiveOptions.h"

#include "support/PathHelpers.h"
#include "tests/conversion/FakeMessageReader.h"
#include "tests/conversion/RecordingConverter.h"
#include "tests/platform/ScriptedPlatform.h"
#include "tests/TestSupport/TempFolder.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QSettings>
#include <QStandardPaths>
#include <QTableWidget>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace tessaly {
namespace {

using testing::RecordingConverter;
using testing::TempFolder;

/// Two messages in the mbox layout, named by their subjects.
std::string twoMessages(const std::string &first, const std::string &second)
{
    const auto message = [](const std::string &subject) {
        return "From ann@example.org Mon Jan  2 10:00:00 2023\nFrom: Ann\nSubject: " + subject +
               "\nDate: 2023-01-02\n\nHello.\n\n";
    };
    return message(first) + message(second);
}

class WindowTest : public ::testing::Test
{
protected:
    ScriptedPlatform platform;
    RecordingConverter converter;
    frmStep1 window{platform, testing::borrowConverter(converter), testing::fakeReaderFactory()};
    int processEndings = 0;

    WindowTest()
    {
        window.setEndProcess([this] { ++processEndings; });
    }

    template <typename Widget> Widget *control(const char *name)
    {
        auto *widget = window.findChild<Widget *>(QLatin1String(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    QPushButton *button(const char *name) { return control<QPushButton>(name); }
    QString labelText(const char *name) { return control<QLabel>(name)->text(); }
    /// Clicks near the left edge, on the indicator or caption, where option buttons and
    /// check boxes take clicks.
    void click(const char *name)
    {
        QAbstractButton *target = control<QAbstractButton>(name);
        QTest::mouseClick(target, Qt::LeftButton, {}, QPoint(6, target->height() / 2));
    }

    std::vector<std::string> gridRows()
    {
        auto *grid = control<QTableWidget>("grdFiles1");
        std::vector<std::string> rows;
        for (int row = 0; row < grid->rowCount(); ++row)
            rows.push_back(grid->item(row, 0) ? grid->item(row, 0)->text().toStdString() : std::string("<none>"));
        return rows;
    }
};

TEST_F(WindowTest, OpensEmptyWithAttachmentOptionsOffAndFocusOnAdd)
{
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Tessaly v1.2"));
    EXPECT_EQ(window.size(), QSize(599, 640));
    EXPECT_FALSE(button("CmdConvert")->isEnabled());
    EXPECT_TRUE(button("cmdAdd")->isEnabled());
    EXPECT_FALSE(control<QCheckBox>("ChkSaveAttach")->isChecked());
    EXPECT_FALSE(control<QGroupBox>("FrameAttach")->isEnabled());
    EXPECT_FALSE(control<QRadioButton>("OptSaveAttachEmbed")->isEnabled());
    EXPECT_FALSE(control<QRadioButton>("OptSaveAttachFolder")->isEnabled());
    EXPECT_EQ(window.namingOption(), NamingOption::OptOriginal);
    EXPECT_TRUE(control<QRadioButton>("OptSaveAttachEmbed")->isChecked());
    EXPECT_EQ(window.attachmentMode(), AttachmentMode::ListOnly);
    EXPECT_EQ(gridRows(), std::vector<std::string>{""});
    EXPECT_EQ(labelText("lblCount1"), QStringLiteral("0 files"));
    EXPECT_EQ(labelText("LblProgessCurrent"), QStringLiteral("Mailbox  0 (of 0)"));

    auto *grid = control<QTableWidget>("grdFiles1");
    EXPECT_EQ(grid->columnCount(), 1);
    EXPECT_EQ(grid->columnWidth(0), 1000);
    EXPECT_FALSE(grid->horizontalHeader()->isVisible());

    // "&&" shows one ampersand; the access keys underline H and x.
    EXPECT_EQ(control<QRadioButton>("OptSaveAttachEmbed")->text(),
              QStringLiteral("Save Attachments && Embed in PDF file"));
    EXPECT_EQ(control<QRadioButton>("OptDFS_YMD")->text(), QStringLiteral("date (YYYY-MM-DD) + subject + from "));
    EXPECT_EQ(button("CmdHelp")->text(), QStringLiteral("&Help Manual"));
    EXPECT_EQ(button("cmdEnd")->text(), QStringLiteral("E&xit"));

    window.showCentred();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_EQ(window.focusWidget(), button("cmdAdd"));
}

TEST(WindowOptions, EachCheckableOptionIsOffUntilChosenAndRememberedAlone)
{
    const struct
    {
        const char *action;
        const char *text;
        bool (*chosen)();
    } options[] = {{"mnuEmbedSource", "&Embed the Original Message in Each PDF", embedSourceChosen},
                   {"mnuBundle", "&Also Make One PDF per Mailbox", bundleChosen}};
    QStandardPaths::setTestModeEnabled(true);
    ScriptedPlatform platform;
    RecordingConverter converter;
    for (const auto &option : options) {
        SCOPED_TRACE(option.action);
        QSettings().remove(QStringLiteral("options"));
        {
            frmStep1 window{platform, testing::borrowConverter(converter), testing::fakeReaderFactory()};
            auto *action = window.findChild<QAction *>(QLatin1String(option.action));
            ASSERT_NE(action, nullptr);
            EXPECT_EQ(action->text(), QLatin1String(option.text));
            EXPECT_FALSE(action->isChecked());
            EXPECT_FALSE(option.chosen());
            action->trigger();
            EXPECT_TRUE(option.chosen());
            for (const auto &other : options)
                EXPECT_EQ(other.chosen(), &other == &option) << other.action;
        }
        frmStep1 next{platform, testing::borrowConverter(converter), testing::fakeReaderFactory()};
        EXPECT_TRUE(next.findChild<QAction *>(QLatin1String(option.action))->isChecked());
        EXPECT_EQ(next.size(), QSize(599, 640));
    }
    QSettings().remove(QStringLiteral("options"));
}

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
                return Error{"no room"};
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

TEST_F(WindowTest, TabRunsFromTheListButtonsThroughConvertToTheOptions)
{
    const char *expected[] = {
        "cmdAdd",  "cmdClear1",  "CmdAddFolder",  "grdFiles1",          "CmdConvert",          "cmdEnd",
        "CmdHelp", "CmdOptions", "ChkSaveAttach", "OptSaveAttachEmbed", "OptSaveAttachFolder", "OptOriginal"};
    QWidget *widget = button("cmdAdd");
    for (const char *name : expected) {
        EXPECT_EQ(widget->objectName().toStdString(), name);
        widget = widget->nextInFocusChain();
        while (widget->focusPolicy() == Qt::NoFocus)
            widget = widget->nextInFocusChain();
    }
}

TEST_F(WindowTest, SaveAttachmentsEnablesItsOptionsBySpaceBarAndMouseAndKeepsTheChoice)
{
    window.showCentred();
    auto *check = control<QCheckBox>("ChkSaveAttach");
    auto *folderOption = control<QRadioButton>("OptSaveAttachFolder");

    check->setFocus();
    QTest::keyClick(check, Qt::Key_Space);
    EXPECT_TRUE(check->isChecked());
    EXPECT_TRUE(control<QGroupBox>("FrameAttach")->isEnabled());
    EXPECT_TRUE(folderOption->isEnabled());

    click("OptSaveAttachFolder");
    click("ChkSaveAttach");
    EXPECT_FALSE(folderOption->isEnabled());
    EXPECT_FALSE(control<QRadioButton>("OptSaveAttachEmbed")->isEnabled());
    EXPECT_TRUE(folderOption->isChecked());
    EXPECT_EQ(window.attachmentMode(), AttachmentMode::ListOnly) << "a clear box saves nothing, whatever shows";

    click("ChkSaveAttach");
    EXPECT_EQ(window.attachmentMode(), AttachmentMode::Folder);
}

TEST_F(WindowTest, TheTwoOptionGroupsAreExclusiveAndIndependent)
{
    window.showCentred();
    click("ChkSaveAttach");
    click("OptSaveAttachFolder");
    click("OptDFS");
    EXPECT_EQ(window.namingOption(), NamingOption::OptDFS);
    EXPECT_FALSE(control<QRadioButton>("OptOriginal")->isChecked());
    EXPECT_EQ(window.attachmentMode(), AttachmentMode::Folder);

    click("OptSaveAttachEmbed");
    click("OptDFS_MYD");
    EXPECT_EQ(window.namingOption(), NamingOption::OptDFS_MYD);
    EXPECT_FALSE(control<QRadioButton>("OptDFS")->isChecked());
    EXPECT_EQ(window.attachmentMode(), AttachmentMode::Embed);
}

TEST_F(WindowTest, AddAddAgainCancelAndClearShowInTheGrid)
{
    platform.queueFiles({"/mail/a.mbox", "/mail/b.mbox"});
    platform.queueFiles({"/mail/a.mbox"});
    click("cmdAdd");
    click("cmdAdd"); // listed already
    EXPECT_EQ(gridRows(), (std::vector<std::string>{"/mail/a.mbox", "/mail/b.mbox"}));
    EXPECT_EQ(labelText("lblCount1"), QStringLiteral("2 files"));
    EXPECT_EQ(control<QTableWidget>("grdFiles1")->currentRow(), 1);
    EXPECT_TRUE(button("CmdConvert")->isEnabled());

    click("cmdAdd"); // cancelled
    EXPECT_EQ(gridRows().size(), 2u);

    platform.queueAnswer(MessageBoxAnswer::No);
    click("cmdClear1");
    EXPECT_EQ(gridRows().size(), 2u);
    EXPECT_EQ(control<QTableWidget>("grdFiles1")->currentRow(), 0);

    platform.queueAnswer(MessageBoxAnswer::Yes);
    click("cmdClear1");
    EXPECT_EQ(gridRows(), std::vector<std::string>{""});
    EXPECT_EQ(labelText("lblCount1"), QStringLiteral("0 files"));
    EXPECT_TRUE(button("CmdConvert")->isEnabled());
    EXPECT_EQ(platform.messages().size(), 2u);

    platform.queueFiles({"/mail/c.mbox"});
    click("cmdAdd");
    EXPECT_EQ(gridRows(), std::vector<std::string>{"/mail/c.mbox"});
}

TEST_F(WindowTest, FolderScanFillsTheGrid)
{
    TempFolder tree;
    tree.write("Inbox.MBOX", "From x\n");
    tree.write("old/Sent.mbx", "From x\n");
    tree.write("old/notes.txt", "From x\n");
    platform.queueFolder(tree.root().string());
    click("CmdAddFolder");
    EXPECT_EQ(gridRows(), (std::vector<std::string>{tree.file("Inbox.MBOX"), tree.file("old/Sent.mbx")}));
    EXPECT_EQ(platform.messages().back().text, "2 Files Added to List.");
    EXPECT_TRUE(button("CmdConvert")->isEnabled());
}

TEST_F(WindowTest, RegressionAFolderScanListsEachFolderInByteOrderAndFoldsALinkToAListedMailbox)
{
    TempFolder tree;
    tree.write("y.mbox", "From x\n");
    tree.write("scan/z/b.mbox", "From x\n");
    tree.write("scan/a/c.mbox", "From x\n");
    tree.write("scan/e.mbox", "From x\n");
    tree.write("scan/d.mbox", "From x\n");
    std::filesystem::create_symlink(tree.root() / "y.mbox", tree.root() / "scan" / "link.mbox");
    platform.queueFiles({tree.file("y.mbox")});
    click("cmdAdd");
    platform.queueFolder(tree.file("scan"));
    click("CmdAddFolder");

    EXPECT_EQ(gridRows(),
              (std::vector<std::string>{tree.file("y.mbox"), tree.file("scan/d.mbox"), tree.file("scan/e.mbox"),
                                        tree.file("scan/a/c.mbox"), tree.file("scan/z/b.mbox")}));
    EXPECT_EQ(platform.messages().back().text,
              "4 Files Added to List.\n1 file was listed already and was not added again.");
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

TEST_F(WindowTest, RegressionFilesThatAreNotMailAreRefusedWhenAddedInOneBox)
{
    TempFolder in;
    in.write("good.mbox", twoMessages("One", "Two"));
    in.write("Trash.mbox", "");
    in.write("x.mbox", std::string("\x89PNG\r\n\x1a\n", 8));
    in.write("readme.txt", "Read me first.\n");
    platform.queueFiles({in.file("good.mbox"), in.file("x.mbox"), in.file("Trash.mbox"), in.file("readme.txt")});
    click("cmdAdd");

    EXPECT_EQ(gridRows(), (std::vector<std::string>{in.file("good.mbox"), in.file("Trash.mbox")}));
    ASSERT_EQ(platform.messages().size(), 1u);
    EXPECT_EQ(platform.messages()[0].style, MessageBoxStyle::Exclamation);
    EXPECT_EQ(platform.messages()[0].text, "These files are not mailboxes and were not added:\n\n" + in.file("x.mbox") +
                                               "\n" + in.file("readme.txt"));
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

TEST_F(WindowTest, ExitAnsweredYesClosesTheWindowWithOneQuestion)
{
    window.showCentred();
    platform.queueAnswer(MessageBoxAnswer::Yes);
    click("cmdEnd");
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(platform.messages().size(), 1u);
    EXPECT_EQ(processEndings, 0); // no run: the event loop ends normally
}

TEST_F(WindowTest, AccessKeysPressHelpAndExit)
{
    window.setUserManual("/usr/share/tessaly/manual.html");
    window.showCentred();
    QApplication::setActiveWindow(&window);
    if (!QTest::qWaitForWindowActive(&window))
        GTEST_SKIP() << "the window cannot be activated here (an X server without a window manager)";

    // A button pressed by its access key clicks a moment later, as it shows itself pressed.
    QTest::keyClick(&window, Qt::Key_H, Qt::AltModifier);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !platform.openedTargets().empty(); }));
    EXPECT_EQ(platform.openedTargets(), std::vector<std::string>{"/usr/share/tessaly/manual.html"});

    QTest::keyClick(&window, Qt::Key_X, Qt::AltModifier); // answered No by default
    EXPECT_TRUE(QTest::qWaitFor([&] { return !platform.messages().empty(); }));
    ASSERT_EQ(platform.messages().size(), 1u);
    EXPECT_EQ(platform.messages()[0].text, "Are you sure you want to exit now?");
    EXPECT_TRUE(window.isVisible());
}

TEST_F(WindowTest, GridShowsCellsLightYellowAndTheCurrentRowInDeepBlue)
{
    platform.queueFiles({"/mail/a.mbox", "/mail/b.mbox", "/mail/c.mbox"});
    click("cmdAdd");
    window.showCentred();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const QImage shot = window.grab().toImage();
    if (const QByteArray folder = qgetenv("TESSALY_SCREENSHOT_DIR"); !folder.isEmpty())
        shot.save(QString::fromLocal8Bit(folder) + QStringLiteral("/frmStep1.png"));

    auto *grid = control<QTableWidget>("grdFiles1");
    const auto pixelInRow = [&](int row) {
        const QRect cell = grid->visualItemRect(grid->item(row, 0));
        const QPoint inCell = grid->viewport()->mapTo(&window, QPoint(cell.left() + 400, cell.center().y()));
        return shot.pixelColor(inCell * shot.devicePixelRatio());
    };
    EXPECT_EQ(pixelInRow(0), QColor(255, 255, 191));
    EXPECT_EQ(pixelInRow(2), QColor(0, 0, 192));
}

TEST_F(WindowTest, RegressionFitsA1366x768ScreenAt125PercentAndScrollsToEveryControl)
{
    // 1366 x 768 at 125% leaves 1093 x 582 logical pixels above a 40-pixel task bar; the
    // design's 640 pixels do not fit, and Help and Exit were cut off below.
    const QMargins frame(1, 30, 1, 1);
    const QRect available(0, 0, 1093, 582);
    window.fitToScreenArea(available, frame);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_TRUE(available.contains(QRect(window.pos(), window.size().grownBy(frame))));

    auto *scroll = control<QScrollArea>("scrollArea");
    for (const char *name : {"cmdEnd", "CmdHelp", "CmdConvert", "cmdAdd"}) {
        scroll->ensureWidgetVisible(button(name));
        const QRect shown(button(name)->mapTo(&window, QPoint()), button(name)->size());
        EXPECT_TRUE(window.rect().contains(shown)) << name;
    }

    // Where the design fits, it is kept.
    window.fitToScreenArea(QRect(0, 0, 1280, 770), frame);
    EXPECT_EQ(window.size(), QSize(599, 640));
    EXPECT_EQ(fittedClientSize({599, 640}, {1278, 569}, 15), QSize(614, 569)); // 900 px at 150%
}

TEST_F(WindowTest, RegressionADarkThemeKeepsDarkTextOnTheWindowsLightColours)
{
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(30, 30, 30));
    dark.setColor(QPalette::WindowText, Qt::white);
    dark.setColor(QPalette::Base, QColor(20, 20, 20));
    dark.setColor(QPalette::Text, Qt::white);
    const QPalette before = QApplication::palette();
    QApplication::setPalette(dark);
    {
        frmStep1 darkWindow(platform, testing::borrowConverter(converter), testing::fakeReaderFactory());
        auto *label = darkWindow.findChild<QLabel *>(QStringLiteral("lblCount1"));
        EXPECT_EQ(label->palette().color(QPalette::WindowText), QColor(Qt::black));
        EXPECT_EQ(darkWindow.palette().color(QPalette::Window), QColor(240, 240, 240));
        auto *grid = darkWindow.findChild<QTableWidget *>(QStringLiteral("grdFiles1"));
        EXPECT_EQ(grid->palette().color(QPalette::Text), QColor(Qt::black));
        // The grid's style sheet reads the application's colours: its cells set their own.
        EXPECT_EQ(grid->item(0, 0)->foreground().color(), QColor(Qt::black));
        EXPECT_NE(grid->styleSheet().indexOf(QStringLiteral("color: black")), -1);
    }
    QApplication::setPalette(before);
}

TEST_F(WindowTest, ClosingDuringAFolderScanEndsAtOnce)
{
    TempFolder tree;
    tree.write("a.mbox", "From x\n");
    tree.write("b.mbox", "From x\n");
    window.showCentred();
    platform.setOnProcessEvents([&] {
        if (processEndings == 0)
            window.close();
    });
    platform.queueFolder(tree.root().string());
    click("CmdAddFolder");
    platform.setOnProcessEvents({});
    EXPECT_EQ(processEndings, 1);
}

TEST_F(WindowTest, HelpThatCannotOpenTheManualSaysWhereItIs)
{
    platform.setShellOpenSucceeds(false);
    window.setUserManual("/opt/tessaly/manual.html");
    click("CmdHelp");
    ASSERT_EQ(platform.messages().size(), 1u);
    EXPECT_NE(platform.messages()[0].text.find("/opt/tessaly/manual.html"), std::string::npos);
}

TEST_F(WindowTest, RegressionASecondDeleteRemovesTheRowThatTookTheFirstOnesPlace)
{
    platform.queueFiles({"/mail/a.mbox", "/mail/b.mbox", "/mail/c.mbox", "/mail/d.mbox"});
    click("cmdAdd");
    auto *grid = control<QTableWidget>("grdFiles1");
    grid->setCurrentCell(1, 0);
    QTest::keyClick(grid, Qt::Key_Delete);
    EXPECT_EQ(grid->currentRow(), 1);
    QTest::keyClick(grid, Qt::Key_Delete);
    EXPECT_EQ(gridRows(), (std::vector<std::string>{"/mail/a.mbox", "/mail/d.mbox"}));
}

TEST_F(WindowTest, DeleteRemovesTheSelectedRows)
{
    platform.queueFiles({"/mail/a.mbox", "/mail/b.mbox", "/mail/c.mbox"});
    click("cmdAdd");
    auto *grid = control<QTableWidget>("grdFiles1");
    grid->clearSelection();
    grid->item(0, 0)->setSelected(true);
    grid->item(2, 0)->setSelected(true);
    QTest::keyClick(grid, Qt::Key_Delete);
    EXPECT_EQ(gridRows(), std::vector<std::string>{"/mail/b.mbox"});
    EXPECT_EQ(labelText("lblCount1"), QStringLiteral("1 files"));
}

} // namespace
} // namespace tessaly
