// The window through its controls: states, enabling rules, the list buttons, layout, exit.
#include "tests/app/WindowTestFixture.h"

#include "app/ArchiveOptions.h"

#include "support/PathHelpers.h"
#include "tests/TestSupport/TempFolder.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QImage>
#include <QRadioButton>
#include <QScrollArea>
#include <QSettings>
#include <QStandardPaths>

#include <filesystem>
#include <fstream>

namespace tessaly {
namespace {

using testing::RecordingConverter;
using testing::TempFolder;
using testing::twoMessages;
using testing::WindowTest;

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
