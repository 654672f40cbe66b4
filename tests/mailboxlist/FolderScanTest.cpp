// The breadth-first walk and the choice of mailbox files among what it finds.
#include "mailboxlist/FolderScan.h"
#include "mailboxlist/pathLogger.h"
#include "tests/TestSupport/TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <unistd.h>

namespace tessaly {
namespace {

using testing::TempFolder;

std::set<std::string> asSet(const std::vector<std::string> &items)
{
    return {items.begin(), items.end()};
}

TEST(isMailboxFileName, MatchesBothExtensionsInAnyCaseAndNothingElse)
{
    EXPECT_TRUE(isMailboxFileName("/m/a.mbox"));
    EXPECT_TRUE(isMailboxFileName("/m/B.MBX"));
    EXPECT_TRUE(isMailboxFileName("/m/e.Mbox"));
    EXPECT_TRUE(isMailboxFileName("/m/padded.mbox  "));
    EXPECT_TRUE(isMailboxFileName(".mbx"));
    EXPECT_FALSE(isMailboxFileName("/m/c.mbx.bak"));
    EXPECT_FALSE(isMailboxFileName("/m/Inbox.mboxes"));
    EXPECT_FALSE(isMailboxFileName("/m/Inbox.mbox.old"));
    EXPECT_FALSE(isMailboxFileName("/m/d.txt"));
    EXPECT_FALSE(isMailboxFileName("/m/inboxmbox"));
    EXPECT_FALSE(isMailboxFileName("   "));
    EXPECT_FALSE(isMailboxFileName(""));
}

TEST(scanFolderForMailboxes, FindsMixedCaseExtensionsAtEveryDepthInTheirOwnCase)
{
    TempFolder tree;
    tree.write("a.mbox", "From x\n");
    tree.write("B.MBX", "From x\n");
    tree.write("c.mbx.bak", "From x\n");
    tree.write("d.txt", "From x\n");
    tree.write("sub/e.Mbox", "From x\n");
    tree.write("sub/deeper/still/f.mbx", "From x\n");

    const FolderScanResult result = scanFolderForMailboxes(tree.root().string());

    EXPECT_EQ(result.unreadableFolders, 0);
    ASSERT_EQ(result.mailboxes.size(), 4u);
    // Files of the chosen folder come before those of its subfolders.
    EXPECT_EQ(asSet({result.mailboxes[0], result.mailboxes[1]}), asSet({tree.file("a.mbox"), tree.file("B.MBX")}));
    EXPECT_EQ(result.mailboxes[2], tree.file("sub/e.Mbox"));
    EXPECT_EQ(result.mailboxes[3], tree.file("sub/deeper/still/f.mbx"));
}

TEST(scanFolderForMailboxes, FindsThunderbirdFoldersAndAppleExportsAndNoDecoy)
{
    TempFolder tree;
    const std::string mail = "From ann@example.com Mon Jan  2 10:00:00 2023\nSubject: hi\n\nbody\n";
    tree.write("Local Folders/Inbox", mail);
    tree.write("Local Folders/Inbox.msf", "// <!-- <mdb:mork:z v=\"1.4\"/> -->");
    tree.write("Local Folders/Inbox.sbd/Work", "");
    tree.write("Local Folders/Inbox.sbd/Work.sbd/2020", mail);
    tree.write("Local Folders/Inbox.sbd/Work.sbd/2020.msf", "");
    tree.write("Local Folders/Unsent", mail);
    tree.write("Export/Old.mbox/mbox", mail);
    tree.write("Export/Old.mbox/Info.plist", "<plist/>");
    // Decoys: an index alone, a binary file, a letter, an empty folder named like a mailbox.
    tree.write("Local Folders/Trash.msf", "");
    tree.write("Local Folders/photo", std::string("\x89PNG\r\n\x1a\n\0\0", 10));
    tree.write("Local Folders/letter", "From the desk of Ann\nDear Bob,\n");
    tree.folder("Export/x.mbox");

    const FolderScanResult result = scanFolderForMailboxes(tree.root().string());

    EXPECT_EQ(asSet(result.mailboxes),
              asSet({tree.file("Local Folders/Inbox"), tree.file("Local Folders/Inbox.sbd/Work"),
                     tree.file("Local Folders/Inbox.sbd/Work.sbd/2020"), tree.file("Local Folders/Unsent"),
                     tree.file("Export/Old.mbox/mbox")}));
}

TEST(scanFolderForMailboxes, FindsMaildirsWithTheirMaildirPlusPlusFoldersAndEmlFoldersButNothingInsideAMaildir)
{
    TempFolder tree;
    const std::string mail = "From ann@example.com Mon Jan  2 10:00:00 2023\nSubject: hi\n\nbody\n";
    tree.write("Mail/Maildir/cur/1600000000.M1.host:2,S", mail);
    tree.write("Mail/Maildir/cur/dropped.eml", mail);
    tree.write("Mail/Maildir/cur/old.mbox", mail);
    tree.folder("Mail/Maildir/new");
    tree.write("Mail/Maildir/dovecot-uidlist", "3 V1 N2\n");
    tree.write("Mail/Maildir/.Work.Projects/new/1600000001.M2.host", mail);
    tree.folder("Mail/Maildir/.Work.Projects/cur");
    tree.folder("Mail/Maildir/.Drafts/cur"); // no new/: not a Maildir++ folder
    tree.write("Exported/1.eml", mail);
    tree.write("Exported/Archive/Old.mbox", mail);
    tree.write("Exported/Archive/2.EML", mail);
    // Decoys: a folder of text files, and cur/ and new/ apart in two folders.
    tree.write("Notes/a.txt", "From here\n");
    tree.folder("Half/cur");
    tree.folder("Other/new");

    const FolderScanResult result = scanFolderForMailboxes(tree.root().string());

    // A folder source is named with its trailing separator.
    EXPECT_EQ(asSet(result.mailboxes),
              asSet({tree.file("Exported/"), tree.file("Mail/Maildir/"), tree.file("Exported/Archive/"),
                     tree.file("Exported/Archive/Old.mbox"), tree.file("Mail/Maildir/.Work.Projects/")}));
    // Given the Maildir itself, the scan finds it first, then its Maildir++ folder a level down.
    EXPECT_EQ(scanFolderForMailboxes(tree.file("Mail/Maildir")).mailboxes,
              (std::vector<std::string>{tree.file("Mail/Maildir/"), tree.file("Mail/Maildir/.Work.Projects/")}));
}

TEST(pathLogger, WalksBreadthFirstNotDepthFirst)
{
    TempFolder tree;
    tree.write("r.mbox", "From x\n");
    tree.write("A/a.mbox", "From x\n");
    tree.write("A/C/c.mbox", "From x\n");
    tree.write("B/b.mbox", "From x\n");

    pathLogger walker;
    walker.PathLogInit();
    walker.setFullFileNamesOnly(false);
    walker.LogPath(tree.root().string());

    const std::vector<std::string> &files = walker.fullFileNames();
    ASSERT_EQ(files.size(), 4u);
    EXPECT_EQ(files[0], tree.file("r.mbox"));
    EXPECT_EQ(asSet({files[1], files[2]}), asSet({tree.file("A/a.mbox"), tree.file("B/b.mbox")}));
    EXPECT_EQ(files[3], tree.file("A/C/c.mbox"));
    EXPECT_EQ(walker.Count(), 5);

    // Every folder ends in a separator, the root first; each file points at its folder.
    ASSERT_EQ(walker.pathNames().size(), 4u);
    EXPECT_EQ(walker.pathNames()[0], tree.root().string() + "/");
    EXPECT_EQ(walker.pathNames()[3], tree.file("A/C/"));
    ASSERT_EQ(walker.pathPointers().size(), 4u);
    for (std::size_t i = 0; i < files.size(); ++i) {
        const std::string &folder = walker.pathNames()[static_cast<std::size_t>(walker.pathPointers()[i]) - 1];
        EXPECT_EQ(folder + walker.fileNames()[i], files[i]);
    }
}

TEST(pathLogger, FullPathsOnlyModeFillsNothingElseAndMissingFolderKeepsCount)
{
    TempFolder tree;
    tree.write("x.mbox", "From x\n");
    pathLogger walker;
    walker.PathLogInit();
    EXPECT_TRUE(walker.fullFileNamesOnly());
    EXPECT_EQ(walker.fullFileNames().size(), 0u);
    walker.LogPath(tree.root().string());
    EXPECT_EQ(walker.fullFileNames().size(), 1u);
    EXPECT_TRUE(walker.fileNames().empty());
    EXPECT_TRUE(walker.pathPointers().empty());
    EXPECT_EQ(walker.Count(), 2);

    walker.PathLogInit();
    walker.LogPath(tree.file("no-such-folder"));
    EXPECT_EQ(walker.Count(), 2);
    EXPECT_TRUE(walker.fullFileNames().empty());
    EXPECT_TRUE(walker.pathNames().empty());
}

TEST(pathLogger, ASymlinkCycleCannotTrapTheWalk)
{
    TempFolder tree;
    tree.write("loop/a.mbox", "From x\n");
    std::filesystem::create_directory_symlink(tree.root(), tree.root() / "loop" / "back");
    std::filesystem::create_directory_symlink(tree.root() / "loop", tree.root() / "loop" / "self");

    const FolderScanResult result = scanFolderForMailboxes(tree.root().string());
    EXPECT_EQ(result.mailboxes, std::vector<std::string>{tree.file("loop/a.mbox")});
}

TEST(pathLogger, ALinkToAMailboxFileIsCollected)
{
    TempFolder tree;
    tree.write("real/a.mbox", "From x\n");
    std::filesystem::create_symlink(tree.root() / "real" / "a.mbox", tree.root() / "link.mbox");
    EXPECT_EQ(scanFolderForMailboxes(tree.root().string()).mailboxes.size(), 2u);
}

TEST(pathLogger, AFolderWithoutReadPermissionIsSkipped)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root reads any folder; the list actions' scan past an injected failure covers this case";
    TempFolder tree;
    tree.write("a.mbox", "From x\n");
    tree.write("locked/hidden.mbox", "From x\n");
    std::filesystem::permissions(tree.root() / "locked", std::filesystem::perms::none);

    const FolderScanResult result = scanFolderForMailboxes(tree.root().string());
    std::filesystem::permissions(tree.root() / "locked", std::filesystem::perms::owner_all);

    EXPECT_EQ(result.unreadableFolders, 1);
    EXPECT_EQ(result.mailboxes, std::vector<std::string>{tree.file("a.mbox")});
}

TEST(folderScanMessage, NamesTheUnreadableFoldersOnlyWhenThereAreAny)
{
    EXPECT_EQ(folderScanMessage(3, 0), "3 Files Added to List.");
    EXPECT_EQ(folderScanMessage(0, 1), "0 Files Added to List.\n1 folder could not be read and was skipped.");
    EXPECT_EQ(folderScanMessage(2, 4), "2 Files Added to List.\n4 folders could not be read and were skipped.");
}

} // namespace
} // namespace tessaly
