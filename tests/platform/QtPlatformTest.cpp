// The report box's text cut to fit the screen.
#include "platform/QtPlatform.h"

#include "tests/TestSupport/TempFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace tessaly {
namespace {

TEST(ReportBoxText, RegressionALongSummaryIsCutSoTheBoxFitsTheScreenAndKeepsItsCountsLine)
{
    std::string text;
    for (int line = 1; line <= 40; ++line)
        text += "line " + std::to_string(line) + "\r\n";
    text += "Converted: 1, failed: 40.";

    EXPECT_EQ(cutToLines(text, 6), "line 1\r\nline 2\r\nline 3\r\nline 4\r\n"
                                   "    ... 36 more lines under Show Details\r\nConverted: 1, failed: 40.");
    EXPECT_EQ(cutToLines(text, 41), text);
    EXPECT_EQ(cutToLines("one\r\ntwo\r\n", 2), "one\r\ntwo\r\n");
    // Lines that wrap count for what they take.
    const auto wrapped = [](const std::string &line) { return line.starts_with("line") ? 2 : 1; };
    EXPECT_EQ(cutToLines(text, 8, wrapped), "line 1\r\nline 2\r\nline 3\r\n"
                                            "    ... 37 more lines under Show Details\r\nConverted: 1, failed: 40.");
}

#ifdef __linux__
TEST(QtPlatformShellOpen, RegressionAHandlerThatFailsIsNoSuccessSoTheCallerCanSayWhereTheFileIs)
{
    testing::TempFolder bin;
    const std::string opener = bin.write("xdg-open", "#!/bin/sh\nexit 3\n");
    std::filesystem::permissions(opener, std::filesystem::perms::owner_all);
    const std::string path = std::getenv("PATH") ? std::getenv("PATH") : "";
    ::setenv("PATH", (bin.path() + ":" + path).c_str(), 1);

    QtPlatform platform;
    EXPECT_FALSE(platform.ShellOpen(opener));
    bin.write("xdg-open", "#!/bin/sh\nexit 0\n");
    EXPECT_TRUE(platform.ShellOpen(opener));
    ::setenv("PATH", path.c_str(), 1);
}
#endif

} // namespace
} // namespace tessaly
