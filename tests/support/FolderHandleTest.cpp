// An open folder: entries reached by name only, renames that never replace, and what each
// look says when the system cannot answer.
#include "support/FolderHandle.h"

#include "support/PathHelpers.h"

#include "tests/TestSupport/TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#ifndef _WIN32
#include "tests/TestSupport/WithoutRootRights.h"

#include <sys/stat.h>
#endif

namespace fs = std::filesystem;
using namespace tessaly;
using tessaly::testing::TempFolder;
#ifndef _WIN32
using tessaly::testing::kCannotDropRootRights;
using tessaly::testing::runWithoutRootRights;
#endif

namespace {

std::string readFile(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> sorted(std::vector<std::string> names)
{
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

TEST(FolderHandle, RenameNeverReplacesAndTellsATakenNameFromAFailure)
{
    const TempFolder scratch;
    scratch.write("a.pdf", "a");
    scratch.write("b.pdf", "b");
    const FolderHandle folder = FolderHandle::open(scratch.path()).value();

    Result<RenameOutcome> taken = folder.rename("a.pdf", "b.pdf");
    ASSERT_TRUE(taken) << taken.error().message;
    EXPECT_EQ(taken.value(), RenameOutcome::NameTaken);
    EXPECT_EQ(readFile(scratch.file("a.pdf")), "a");
    EXPECT_EQ(readFile(scratch.file("b.pdf")), "b");

    Result<RenameOutcome> renamed = folder.rename("a.pdf", "c.pdf");
    ASSERT_TRUE(renamed) << renamed.error().message;
    EXPECT_EQ(renamed.value(), RenameOutcome::Renamed);
    EXPECT_EQ(TempFolder::fileNames(scratch.path()), (std::vector<std::string>{"b.pdf", "c.pdf"}));

    EXPECT_FALSE(folder.rename("missing.pdf", "d.pdf"));
    Result<RenameOutcome> outside = folder.rename("b.pdf", "../b.pdf");
    ASSERT_FALSE(outside);
    EXPECT_NE(outside.error().message.find("is not a file name"), std::string::npos) << outside.error().message;
}

TEST(FolderHandle, EntryTypeAndNamesSayWhatIsThere)
{
    const TempFolder scratch;
    scratch.write("a.pdf", "a");
    scratch.write("attachments/x.txt", "x");
    const FolderHandle folder = FolderHandle::open(scratch.path()).value();

    EXPECT_EQ(folder.entryType("a.pdf").value(), EntryType::PlainFile);
    EXPECT_EQ(folder.entryType("attachments").value(), EntryType::Folder);
    EXPECT_EQ(folder.entryType("missing.pdf").value(), EntryType::Missing);
    // A name from an index row that is no entry of the folder names nothing in it.
    EXPECT_EQ(folder.entryType("attachments/x.txt").value(), EntryType::Missing);
    EXPECT_EQ(folder.entryType("..").value(), EntryType::Missing);

    EXPECT_EQ(sorted(folder.names().value()), (std::vector<std::string>{"a.pdf", "attachments"}));
    EXPECT_EQ(folder.namesIn("attachments").value(), std::vector<std::string>{"x.txt"});
    for (const char *noFolder : {"missing", "a.pdf"})
        EXPECT_EQ(folder.namesIn(noFolder).value(), std::vector<std::string>()) << noFolder;
}

TEST(FolderHandle, MissingFolderIsAnErrorNamingIt)
{
    Result<FolderHandle> folder = FolderHandle::open("/nonexistent-tessaly-folder/x");
    ASSERT_FALSE(folder);
    EXPECT_NE(folder.error().message.find("/nonexistent-tessaly-folder/x"), std::string::npos);
}

#ifndef _WIN32
TEST(FolderHandle, AFolderThatCannotBeSearchedIsAFailureOfItsKindNotAnEmptyAnswer)
{
    const TempFolder scratch;
    scratch.write("locked/a.pdf", "a");
    const FolderHandle locked = FolderHandle::open(scratch.file("locked")).value();
    fs::permissions(scratch.file("locked"), fs::perms::none);
    // The number says which check failed.
    const int failedCheck = runWithoutRootRights([&locked] {
        const Result<EntryType> type = locked.entryType("a.pdf");
        if (type || type.error().kind != FailureKind::NotPermitted)
            return 1;
        if (locked.names())
            return 2;
        return 0;
    });
    fs::permissions(scratch.file("locked"), fs::perms::owner_all);
    if (failedCheck == kCannotDropRootRights)
        GTEST_SKIP() << "cannot run without root's rights here";
    EXPECT_EQ(failedCheck, 0);
}

TEST(FolderHandle, ALinkOrASpecialFileIsNamedForWhatItIs)
{
    const TempFolder scratch;
    fs::create_symlink(scratch.file("elsewhere"), scratch.file("dangling"));
    fs::create_directory_symlink(scratch.root(), scratch.file("loop"));
    ASSERT_EQ(::mkfifo(scratch.file("pipe").c_str(), 0600), 0);
    const FolderHandle folder = FolderHandle::open(scratch.path()).value();
    EXPECT_EQ(folder.entryType("dangling").value(), EntryType::Link);
    EXPECT_EQ(folder.entryType("pipe").value(), EntryType::Other);
    EXPECT_EQ(folder.namesIn("loop").value(), std::vector<std::string>()) << "a link is never followed";
}

TEST(FolderHandle, RegressionNoFileIsWrittenOrReadThroughALinkPlantedInTheFolder)
{
    const TempFolder scratch;
    const std::string victim = scratch.write("victim/passwd", "root:x:0:0\n");
    const std::string folderPath = scratch.folder("out");
    fs::create_symlink(victim, scratch.file("out/index.csv"));
    fs::create_hard_link(victim, scratch.file("out/hard.csv"));
    const FolderHandle folder = FolderHandle::open(folderPath).value();

    for (const char *name : {"index.csv", "hard.csv"}) {
        SCOPED_TRACE(name);
        Result<OpenFile> appended = folder.openForAppend(name);
        ASSERT_FALSE(appended);
        EXPECT_NE(appended.error().message.find("not permitted"), std::string::npos) << appended.error().message;
    }
    EXPECT_FALSE(folder.read("index.csv"));
    EXPECT_FALSE(folder.create("index.csv"));
    EXPECT_FALSE(folder.setModificationTime("index.csv", 0));
    EXPECT_EQ(folder.entryType("index.csv").value(), EntryType::Link);
    EXPECT_EQ(readFile(victim), "root:x:0:0\n");
    EXPECT_NE(fs::last_write_time(victim), fs::file_time_type{});
}

TEST(FolderHandle, FoldersBelowAreMadeWithoutFollowingALinkAndHeldWhereTheyWere)
{
    const TempFolder scratch;
    scratch.folder("elsewhere");
    fs::create_directory_symlink(scratch.file("elsewhere"), scratch.file("out-link"));
    const FolderHandle root = FolderHandle::open(scratch.path()).value();

    std::vector<std::string> created;
    Result<FolderHandle> mailbox = root.openBelow("out/home/ann/box.mbox", &created);
    ASSERT_TRUE(mailbox) << mailbox.error().message;
    EXPECT_EQ(created, (std::vector<std::string>{"out", "out/home", "out/home/ann", "out/home/ann/box.mbox"}));
    for (const char *refused : {"out-link/box.mbox", "out/../elsewhere"})
        EXPECT_FALSE(root.openBelow(refused)) << refused;

    // The folder is swapped for a link after it was opened: files still go where it was.
    fs::rename(scratch.file("out/home/ann/box.mbox"), scratch.file("moved"));
    fs::create_directory_symlink(scratch.file("elsewhere"), scratch.file("out/home/ann/box.mbox"));
    ASSERT_TRUE(mailbox.value().create("a.pdf"));
    EXPECT_TRUE(fs::exists(scratch.file("moved/a.pdf")));
    EXPECT_TRUE(fs::is_empty(scratch.file("elsewhere")));

    fs::remove(scratch.file("out/home/ann/box.mbox"));
    root.removeEmptyFolders(created);
    EXPECT_FALSE(fs::exists(scratch.file("out")));
}
#endif
