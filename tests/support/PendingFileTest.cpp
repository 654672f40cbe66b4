#include "support/PendingFile.h"

#include "support/FolderHandle.h"

#include "support/FileMark.h"
#include "support/FileNameRules.h"
#include "support/PathHelpers.h"

#include "tests/TestSupport/TempFolder.h"
#ifndef _WIN32
#include "tests/TestSupport/WithoutRootRights.h"
#endif

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;
using namespace tessaly;
using tessaly::testing::TempFolder;

namespace {

std::string readFile(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

int countEntries(const fs::path &folder)
{
    int count = 0;
    for ([[maybe_unused]] const auto &entry : fs::directory_iterator(folder))
        ++count;
    return count;
}

} // namespace

TEST(NumberedVariant, PutsTheNumberBeforeTheExtension)
{
    EXPECT_EQ(numberedVariant("/out/Re meeting.pdf", 2), "/out/Re meeting (2).pdf");
    EXPECT_EQ(numberedVariant("/out/archive.tar.gz", 3), "/out/archive.tar (3).gz");
    EXPECT_EQ(numberedVariant("/out/README", 2), "/out/README (2)");
    EXPECT_EQ(numberedVariant("/out/.hidden", 2), "/out/.hidden (2)");
    EXPECT_EQ(numberedVariant("/out.d/name", 2), "/out.d/name (2)");
}

TEST(PendingFile, CommitNeverOverwritesAnExistingFile)
{
    const TempFolder scratch;
    const fs::path &root = scratch.root();
    std::ofstream(root / "Re meeting.pdf") << "first";
    const FolderHandle folder = FolderHandle::open(scratch.path()).value();

    for (const char *content : {"second", "third"}) {
        Result<PendingFile> file = PendingFile::createIn(folder);
        ASSERT_TRUE(file) << file.error().message;
        ASSERT_TRUE(file.value().write(content));
        Result<std::string> written = file.value().commitAs("Re meeting.pdf");
        ASSERT_TRUE(written) << written.error().message;
    }
    EXPECT_EQ(readFile(root / "Re meeting.pdf"), "first");
    EXPECT_EQ(readFile(root / "Re meeting (2).pdf"), "second");
    EXPECT_EQ(readFile(root / "Re meeting (3).pdf"), "third");
    EXPECT_EQ(countEntries(root), 3);
}

TEST(PendingFile, AMarkedCommitReplacesOnlyAnEarlierCopyWithItsOwnMarkAndOnlyWhenAsked)
{
    const TempFolder scratch;
    const fs::path &root = scratch.root();
    std::ofstream(root / "Re.pdf") << "the user's";
    const FolderHandle folder = FolderHandle::open(scratch.path()).value();
    const auto commit = [&](const char *content, std::string_view mark, bool replaces = true) {
        Result<PendingFile> file = PendingFile::createIn(folder);
        EXPECT_TRUE(file && file.value().write(content));
        Result<std::string> written = file.value().commitAs("Re.pdf", Durability::Durable, {mark, replaces});
        return written ? written.value() : written.error().message;
    };
    EXPECT_EQ(commit("A, cut short by a kill", "message A"), "Re (2).pdf");
    if (fileMark(folder, "Re (2).pdf").empty())
        GTEST_SKIP() << "this file system keeps no extended attributes";
    EXPECT_EQ(commit("B", "message B"), "Re (3).pdf");
    EXPECT_EQ(commit("A again", "message A"), "Re (2).pdf");
    EXPECT_EQ(commit("unmarked", ""), "Re (4).pdf");
    EXPECT_EQ(commit("A converted again (--force)", "message A", false), "Re (5).pdf");

    EXPECT_EQ(readFile(root / "Re.pdf"), "the user's");
    EXPECT_EQ(readFile(root / "Re (2).pdf"), "A again");
    EXPECT_EQ(readFile(root / "Re (3).pdf"), "B");
    EXPECT_EQ(countEntries(root), 5);
}

TEST(PendingFile, CommitPassesOverADanglingSymbolicLink)
{
    const TempFolder scratch;
    const fs::path &root = scratch.root();
    fs::create_symlink(root / "elsewhere.txt", root / "notes.txt");

    Result<PendingFile> file = PendingFile::createIn(FolderHandle::open(scratch.path()).value());
    ASSERT_TRUE(file) << file.error().message;
    ASSERT_TRUE(file.value().write("notes"));
    Result<std::string> written = file.value().commitAs("notes.txt");
    ASSERT_TRUE(written) << written.error().message;
    EXPECT_EQ(written.value(), "notes (2).txt");
    EXPECT_FALSE(fs::exists(root / "elsewhere.txt"));
}

TEST(PendingFile, AbandonedFileLeavesNothingBehind)
{
    const TempFolder scratch;
    {
        Result<PendingFile> file = PendingFile::createIn(FolderHandle::open(scratch.path()).value());
        ASSERT_TRUE(file);
        ASSERT_TRUE(file.value().write("half a PDF"));
        EXPECT_LE(countEntries(scratch.root()), 1) << "a hidden temporary file, or none where files can be unnamed";
    }
    EXPECT_EQ(countEntries(scratch.root()), 0);
}

#ifndef _WIN32
TEST(PendingFile, ACommitTheSystemRefusesSaysWhereAndKeepsTheKindOfItsReason)
{
    const TempFolder scratch;
    const std::string lockedPath = scratch.folder("locked");
    const FolderHandle locked = FolderHandle::open(lockedPath).value();
    Result<PendingFile> file = PendingFile::createIn(locked);
    ASSERT_TRUE(file && file.value().write("a PDF"));
    fs::permissions(lockedPath, fs::perms::owner_read | fs::perms::owner_exec);
    const std::string expected = "cannot create '" + joinPath(lockedPath, "a.pdf") + "': Permission denied";
    // The number says which check failed.
    const int failedCheck = tessaly::testing::runWithoutRootRights([&file, &expected] {
        Result<std::string> committed = file.value().commitAs("a.pdf");
        if (committed)
            return 1;
        if (committed.error().kind != FailureKind::NotPermitted)
            return 2;
        return committed.error().message == expected ? 0 : 3;
    });
    fs::permissions(lockedPath, fs::perms::owner_all);
    if (failedCheck == tessaly::testing::kCannotDropRootRights)
        GTEST_SKIP() << "cannot run without root's rights here";
    EXPECT_EQ(failedCheck, 0);
}
#endif

TEST(PendingFile, CommitReplacingPutsTheNewFileInTheOldOnesPlaceAndRefusesALinkOrAFolderThere)
{
    const TempFolder scratch;
    const fs::path &root = scratch.root();
    std::ofstream(root / "box.pdf") << "earlier";
    const FolderHandle folder = FolderHandle::open(scratch.path()).value();
    const auto commit = [&](const char *content, std::string_view name) {
        Result<PendingFile> file = PendingFile::createIn(folder);
        EXPECT_TRUE(file && file.value().write(content));
        Result<void> replaced = file.value().commitReplacing(name);
        return replaced ? std::string("replaced") : replaced.error().message;
    };

    EXPECT_EQ(commit("new", "box.pdf"), "replaced");
    EXPECT_EQ(readFile(root / "box.pdf"), "new");
    EXPECT_EQ(commit("first", "fresh.pdf"), "replaced");
    EXPECT_EQ(readFile(root / "fresh.pdf"), "first");

    fs::create_symlink(root / "box.pdf", root / "link.pdf");
    EXPECT_NE(commit("through a link", "link.pdf").find("symbolic link"), std::string::npos);
    fs::create_directory(root / "folder.pdf");
    EXPECT_NE(commit("over a folder", "folder.pdf").find("cannot replace"), std::string::npos);
    EXPECT_EQ(readFile(root / "box.pdf"), "new");
    // Nothing of the refused commits is left behind.
    EXPECT_EQ(countEntries(root), 4);
}
