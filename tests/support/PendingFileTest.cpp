#include "support/PendingFile.h"

#include "support/FileNameRules.h"
#include "support/PathHelpers.h"

#include "tests/TestSupport/TempFolder.h"

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
    const std::string destination = (root / "Re meeting.pdf").string();
    std::ofstream(destination) << "first";

    for (const char *content : {"second", "third"}) {
        Result<PendingFile> file = PendingFile::createIn(root.string());
        ASSERT_TRUE(file) << file.error().message;
        ASSERT_TRUE(file.value().write(content));
        Result<std::string> written = file.value().commitAs(destination);
        ASSERT_TRUE(written) << written.error().message;
    }
    EXPECT_EQ(readFile(destination), "first");
    EXPECT_EQ(readFile(root / "Re meeting (2).pdf"), "second");
    EXPECT_EQ(readFile(root / "Re meeting (3).pdf"), "third");
    EXPECT_EQ(countEntries(root), 3);
}

TEST(PendingFile, CommitPassesOverADanglingSymbolicLink)
{
    const TempFolder scratch;
    const fs::path &root = scratch.root();
    const fs::path destination = root / "notes.txt";
    fs::create_symlink(root / "elsewhere.txt", destination);

    Result<PendingFile> file = PendingFile::createIn(root.string());
    ASSERT_TRUE(file) << file.error().message;
    ASSERT_TRUE(file.value().write("notes"));
    Result<std::string> written = file.value().commitAs(destination.string());
    ASSERT_TRUE(written) << written.error().message;
    EXPECT_EQ(written.value(), (root / "notes (2).txt").string());
    EXPECT_FALSE(fs::exists(root / "elsewhere.txt"));
}

TEST(PendingFile, AbandonedFileLeavesNothingBehind)
{
    const TempFolder scratch;
    const fs::path &root = scratch.root();
    {
        Result<PendingFile> file = PendingFile::createIn(root.string());
        ASSERT_TRUE(file);
        ASSERT_TRUE(file.value().write("half a PDF"));
        EXPECT_TRUE(fs::exists(file.value().path()));
    }
    EXPECT_EQ(countEntries(root), 0);
}

TEST(PendingFile, MissingFolderIsAnErrorNamingIt)
{
    Result<PendingFile> file = PendingFile::createIn("/nonexistent-tessaly-folder/x");
    ASSERT_FALSE(file);
    EXPECT_NE(file.error().message.find("/nonexistent-tessaly-folder/x"), std::string::npos);
}
