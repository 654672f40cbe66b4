#include "support/PathHelpers.h"

#include "tests/TestSupport/TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace fs = std::filesystem;
using namespace tessaly;
using tessaly::testing::TempFolder;

TEST(PathFileName, TakesTheTextAfterTheLastSeparator)
{
    EXPECT_EQ(PathFileName("/home/ann/Mail/Inbox.mbox"), "Inbox.mbox");
    EXPECT_EQ(PathFileName("Inbox.mbox"), "Inbox.mbox");
    EXPECT_EQ(PathFileName("/home/ann/Mail/"), "");
    EXPECT_EQ(PathFileName("/"), "");
}

#ifndef _WIN32
TEST(PathFileName, BackslashIsAnOrdinaryCharacterOnPosix)
{
    EXPECT_EQ(PathFileName("/mail/C:\\Mail\\Inbox.mbox"), "C:\\Mail\\Inbox.mbox");
    EXPECT_FALSE(isPathSeparator('\\'));
}
#endif

TEST(PathFileName, EmptyPathIsAClearError)
{
    try {
        PathFileName("");
        FAIL() << "no error for an empty path";
    } catch (const std::invalid_argument &error) {
        EXPECT_NE(std::string(error.what()).find("empty"), std::string::npos);
    }
}

TEST(PathWithoutRoot, DropsTheRootNotThreeCharacters)
{
    // The fault this pins: dropping three characters gave "ome/ann/…".
    EXPECT_EQ(pathWithoutRoot("/home/ann/Mail/x.mbox"), "home/ann/Mail/x.mbox");
    EXPECT_EQ(pathWithoutRoot("//srv/x.mbox"), "srv/x.mbox");
    EXPECT_EQ(pathWithoutRoot("relative/x.mbox"), "relative/x.mbox");
    EXPECT_EQ(pathWithoutRoot("/"), "");
}

TEST(JoinPath, AddsExactlyOneSeparator)
{
    EXPECT_EQ(joinPath("/out", "a.pdf"), "/out/a.pdf");
    EXPECT_EQ(joinPath("/out/", "a.pdf"), "/out/a.pdf");
    EXPECT_EQ(withTrailingSeparator("/"), "/");
}

TEST(PathComponents, DropEmptyAndDotComponentsAndKeepDotDotForTheCallerToRefuse)
{
    EXPECT_EQ(pathComponents("a//./b/"), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(pathComponents("../x"), (std::vector<std::string>{"..", "x"}));
    EXPECT_EQ(withoutTrailingSeparators("/out//"), "/out");
    EXPECT_EQ(withoutTrailingSeparators("/"), "/");
}

TEST(EnsureFolder, CreatesEveryMissingParentAndIsRepeatable)
{
    const TempFolder scratch;
    const fs::path &root = scratch.root();
    const std::string target = (root / "Out" / "Mail" / "Inbox.mbox").string();
    EXPECT_TRUE(EnsureFolder(target));
    EXPECT_TRUE(fs::is_directory(target));
    EXPECT_TRUE(EnsureFolder(target));
    EXPECT_TRUE(EnsureFolder(target + "/"));
}

TEST(EnsureFolder, FileStandingInTheWayIsAFailureNotAnException)
{
    const TempFolder scratch;
    const fs::path &root = scratch.root();
    std::ofstream(root / "Mail") << "a file, not a folder";
    EXPECT_FALSE(EnsureFolder((root / "Mail").string()));
    EXPECT_FALSE(EnsureFolder((root / "Mail" / "Inbox.mbox").string()));
    EXPECT_FALSE(EnsureFolder(""));
}

TEST(FileExists, TrueOnlyForFiles)
{
    const TempFolder scratch;
    const fs::path &root = scratch.root();
    std::ofstream(root / "a.eml") << "x";
    EXPECT_TRUE(FileExists((root / "a.eml").string()));
    EXPECT_FALSE(FileExists(root.string()));
    EXPECT_FALSE(FileExists((root / "missing.eml").string()));
}

TEST(Utf8Paths, NonAsciiNamesRoundTripThroughTheFileSystem)
{
    const TempFolder scratch;
    const fs::path &root = scratch.root();
    const std::string folder = fromFsPath(root) + "/Überweisung 日本";
    EXPECT_TRUE(EnsureFolder(folder));
    std::ofstream(toFsPath(folder + "/ü.txt")) << "x";
    EXPECT_TRUE(FileExists(folder + "/ü.txt"));
    EXPECT_EQ(PathFileName(folder), "Überweisung 日本");
}
