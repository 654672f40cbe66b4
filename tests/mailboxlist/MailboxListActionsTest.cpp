// The list buttons' behaviour through the scripted platform: dialogs, questions, messages.
#include "mailboxlist/MailboxListActions.h"
#include "tests/platform/ScriptedPlatform.h"
#include "tests/TestSupport/TempFolder.h"

#include <gtest/gtest.h>

#include <optional>

namespace tessaly {
namespace {

using testing::TempFolder;

struct ListFixture : ::testing::Test
{
    ScriptedPlatform platform;
    MailboxList list;
    std::optional<bool> convertEnabled; // nullopt: never touched
    MailboxListActions actions{platform, list, [this](bool enabled) { convertEnabled = enabled; }};

    std::vector<std::string> rows() const
    {
        std::vector<std::string> texts;
        for (int row = 0; row < list.rowCount(); ++row)
            texts.push_back(list.rowText(row));
        return texts;
    }
};

TEST_F(ListFixture, AddingFilesAppendsThemInDialogOrderEachOnceAndEnablesConvert)
{
    platform.queueFiles({"/mail/c.mbox", "/mail/a.mbox", "/mail/b.mbox"});
    platform.queueFiles({"/mail/a.mbox"});
    actions.addFilesFromDialog();
    actions.addFilesFromDialog();

    EXPECT_EQ(platform.fileDialogFilters(), (std::vector<std::string>(2, "MBOX Files (*.mbox *.mbx);;All Files (*)")));
    EXPECT_EQ(rows(), (std::vector<std::string>{"/mail/c.mbox", "/mail/a.mbox", "/mail/b.mbox"}));
    EXPECT_EQ(list.countText(), "3 files");
    EXPECT_EQ(convertEnabled, true);
    EXPECT_TRUE(platform.messages().empty());
}

TEST_F(ListFixture, CancellingTheDialogChangesNothing)
{
    actions.addFilesFromDialog();
    EXPECT_TRUE(list.isEmpty());
    EXPECT_EQ(list.countText(), "0 files");
    EXPECT_FALSE(convertEnabled.has_value());
}

TEST_F(ListFixture, DialogErrorsEndInAnExclamationBox)
{
    platform.queueFileDialogError({13, "Type mismatch"});
    actions.addFilesFromDialog();
    platform.queueFileDialogError({kSelectionTooLargeError, "buffer too small"});
    actions.addFilesFromDialog();

    ASSERT_EQ(platform.messages().size(), 2u);
    EXPECT_EQ(platform.messages()[0].text, "13:Type mismatch");
    EXPECT_EQ(platform.messages()[0].style, MessageBoxStyle::Exclamation);
    EXPECT_EQ(platform.messages()[1].text, "Please select only 1000 files at a time");
    EXPECT_TRUE(list.isEmpty());
}

TEST_F(ListFixture, ClearingAnEmptyListAsksNothing)
{
    actions.clearAfterQuestion();
    EXPECT_TRUE(platform.messages().empty());
}

TEST_F(ListFixture, ClearingAsksAndNoKeepsEveryRow)
{
    list.AddFileToList("/mail/a.mbox");
    list.AddFileToList("/mail/b.mbox");
    platform.queueAnswer(MessageBoxAnswer::No);
    actions.clearAfterQuestion();

    ASSERT_EQ(platform.messages().size(), 1u);
    EXPECT_EQ(platform.messages()[0].text, "Do you want to clear all the files in the list\n Proceed?");
    EXPECT_EQ(platform.messages()[0].style, MessageBoxStyle::YesNoQuestion);
    EXPECT_EQ(list.rowCount(), 2);
    EXPECT_EQ(list.countText(), "2 files");
    EXPECT_EQ(list.currentRow(), 0);
}

TEST_F(ListFixture, CancelledFolderChoiceChangesNothing)
{
    actions.addMailboxesFromFolder();
    EXPECT_EQ(platform.folderBrowserTitles(), std::vector<std::string>{"Choose Source Folder..."});
    EXPECT_EQ(actions.sourceFolder(), "");
    EXPECT_TRUE(platform.messages().empty());
    EXPECT_EQ(platform.waitCursorShowCount(), 0);
    EXPECT_FALSE(convertEnabled.has_value());
}

TEST_F(ListFixture, FolderScanAppendsMatchesUnderTheWaitCursorAndReports)
{
    TempFolder tree;
    tree.write("x.MBOX", "From x\n");
    tree.write("notes.txt", "From x\n");
    tree.write("y/z.mbx", "From x\n");
    list.AddFileToList("/earlier.mbox");
    bool cursorDuringScan = false;
    platform.setOnProcessEvents([&] { cursorDuringScan = platform.isWaitCursorShown(); });
    platform.queueFolder(tree.root().string());

    actions.addMailboxesFromFolder();

    EXPECT_EQ(actions.sourceFolder(), tree.root().string() + "/");
    EXPECT_EQ(rows(), (std::vector<std::string>{"/earlier.mbox", tree.file("x.MBOX"), tree.file("y/z.mbx")}));
    EXPECT_TRUE(cursorDuringScan);
    EXPECT_FALSE(platform.isWaitCursorShown());
    ASSERT_EQ(platform.messages().size(), 1u);
    EXPECT_EQ(platform.messages()[0].text, "2 Files Added to List.");
    EXPECT_EQ(platform.messages()[0].style, MessageBoxStyle::Plain);
    EXPECT_EQ(convertEnabled, true);

    // The same folder again adds no mailbox twice.
    platform.queueFolder(tree.root().string());
    actions.addMailboxesFromFolder();
    EXPECT_EQ(list.rowCount(), 3);
    EXPECT_EQ(platform.messages().back().text,
              "0 Files Added to List.\n2 files were listed already and were not added again.");
}

TEST_F(ListFixture, RegressionAScanThatFindsNothingLeavesConvertAsItWas)
{
    TempFolder tree;
    tree.write("notes.txt", "From x\n");
    platform.queueFiles({"/mail/a.mbox"});
    actions.addFilesFromDialog();
    platform.queueFolder(tree.root().string());

    actions.addMailboxesFromFolder();

    EXPECT_EQ(convertEnabled, true) << "the mailbox listed before still wants converting";
    EXPECT_EQ(list.rowCount(), 1);
    EXPECT_EQ(platform.messages().back().text, "0 Files Added to List.");
}

TEST_F(ListFixture, AScanPastAnUnreadableFolderKeepsTheRestAndSaysSo)
{
    TempFolder tree;
    tree.write("a.mbox", "From x\n");
    tree.write("locked/b.mbox", "From x\n");
    tree.write("locked/deeper/c.mbox", "From x\n");
    tree.write("open/d.mbox", "From x\n");
    const std::string locked = tree.file("locked/");
    MailboxListActions scanning(
        platform, list, [this](bool enabled) { convertEnabled = enabled; },
        [&](const std::string &folder, FolderEntries &entries) {
            return folder != locked && listFolder(folder, entries);
        });
    platform.queueFolder(tree.root().string());

    scanning.addMailboxesFromFolder();

    EXPECT_EQ(rows(), (std::vector<std::string>{tree.file("a.mbox"), tree.file("open/d.mbox")}));
    EXPECT_EQ(platform.messages().back().text, "2 Files Added to List.\n1 folder could not be read and was skipped.");
    EXPECT_FALSE(platform.isWaitCursorShown());
    EXPECT_EQ(convertEnabled, true);
}

TEST_F(ListFixture, DroppedFilesAreAddedAndDroppedFoldersScanned)
{
    TempFolder tree;
    tree.write("in/a.mbox", "From x\n");
    tree.write("in/notes.txt", "From x\n");
    actions.addDropped({"/mail/x.mbox", tree.file("in")});
    EXPECT_EQ(rows(), (std::vector<std::string>{"/mail/x.mbox", tree.file("in/a.mbox")}));
    EXPECT_EQ(platform.messages().back().text, "1 Files Added to List.");
    EXPECT_EQ(convertEnabled, true);
}

TEST_F(ListFixture, ADroppedMaildirIsListedWithItsMaildirPlusPlusFoldersEachEndingInASeparator)
{
    TempFolder tree;
    tree.write("Maildir/cur/1600000000.M1.host:2,S", "From: a\n\nx\n");
    tree.folder("Maildir/new");
    tree.folder("Maildir/.Work/cur");
    tree.folder("Maildir/.Work/new");
    tree.write("Exported/1.eml", "From: a\n\nx\n");
    actions.addDropped({tree.file("Maildir"), tree.file("Exported")});
    EXPECT_EQ(rows(),
              (std::vector<std::string>{tree.file("Maildir/"), tree.file("Maildir/.Work/"), tree.file("Exported/")}));
    EXPECT_EQ(convertEnabled, true);
}

TEST_F(ListFixture, AScanOfAFolderThatVanishedReportsNothingAdded)
{
    platform.queueFolder("/no/such/folder/anywhere");
    actions.addMailboxesFromFolder();
    EXPECT_EQ(platform.messages().back().text, "0 Files Added to List.");
    EXPECT_FALSE(convertEnabled.has_value());
    EXPECT_FALSE(platform.isWaitCursorShown());
}

} // namespace
} // namespace tessaly
