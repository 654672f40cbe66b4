#include "support/AppendStrings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

TEST(AppendStrings, KeepsEveryPieceWholeAndInOrder)
{
    std::string allBytes;
    for (int value = 0; value < 256; ++value)
        allBytes.push_back(static_cast<char>(value));
    const struct
    {
        const char *what;
        std::vector<std::string> pieces;
    } cases[] = {
        {"nothing appended", {}},
        {"an empty piece changes nothing", {""}},
        {"a first piece", {"abc"}},
        {"pieces after one another", {"ab", "", "cd"}},
        {"a piece that fills the initial room exactly", {std::string(AppendStrings::kInitialRoom, 'x')}},
        {"raw bytes, NUL and high bytes included", {allBytes, allBytes}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        AppendStrings builder;
        std::string expected;
        for (const std::string &piece : c.pieces) {
            builder.AddToString(piece);
            expected += piece;
            // Returning the text keeps it: later appends continue it.
            EXPECT_EQ(builder.ReturnString(), expected);
        }
        EXPECT_EQ(builder.ReturnString(), expected);
    }
}

TEST(AppendStrings, LongMessageWithLongSinglePieceStaysWholeAndInOrder)
{
    AppendStrings builder;
    std::string expected;
    for (int line = 0; line < 20000; ++line) {
        const std::string piece = "line " + std::to_string(line) + "\r\n";
        builder.AddToString(piece);
        expected += piece;
    }
    const std::string longLine(3 * 1024 * 1024, 'q'); // far longer than the room plus a step
    builder.AddToString(longLine);
    expected += longLine;
    builder.AddToString("tail");
    expected += "tail";
    EXPECT_EQ(builder.size(), expected.size());
    EXPECT_EQ(builder.ReturnString(), expected);
}

TEST(AppendStrings, GrowthIsGeometricSoAppendingIsAmortisedConstant)
{
    AppendStrings builder;
    const std::string piece(100, 'z');
    int growths = 0;
    std::size_t capacity = builder.capacity();
    for (int i = 0; i < 300000; ++i) { // 30 MB in 100-byte pieces
        builder.AddToString(piece);
        if (builder.capacity() != capacity) {
            ++growths;
            capacity = builder.capacity();
        }
    }
    // Fixed 10,000-byte steps would take 3,000 growths; doubling takes about a dozen.
    EXPECT_LT(growths, 30);
    EXPECT_EQ(builder.size(), 30000000u);
}
