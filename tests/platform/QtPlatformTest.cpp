// The report box's text cut to fit the screen.
#include "platform/QtPlatform.h"

#include <gtest/gtest.h>

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
}

} // namespace
} // namespace tessaly
