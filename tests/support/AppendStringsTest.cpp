#include "support/AppendStrings.h"

#include <gtest/gtest.h>

#include <string>

TEST(AppendStrings, NewBuilderIsEmptyAndEmptyPieceMakesNoRoom)
{
    AppendStrings builder;
    EXPECT_EQ(builder.ReturnString(), "");
    builder.AddToString("");
    EXPECT_LT(builder.capacity(), AppendStrings::kInitialRoom);
    EXPECT_EQ(builder.ReturnString(), "");
}

TEST(AppendStrings, FirstPieceGetsTheInitialRoom)
{
    AppendStrings builder;
    builder.AddToString("abc");
    EXPECT_GE(builder.capacity(), AppendStrings::kInitialRoom);
    EXPECT_EQ(builder.ReturnString(), "abc");
}

TEST(AppendStrings, ReturnStringKeepsTheTextAndAppendingContinuesIt)
{
    AppendStrings builder;
    builder.AddToString("ab");
    EXPECT_EQ(builder.ReturnString(), "ab");
    EXPECT_EQ(builder.ReturnString(), "ab");
    builder.AddToString("cd");
    EXPECT_EQ(builder.ReturnString(), "abcd");
}

TEST(AppendStrings, PieceThatFillsTheRoomExactlyIsWhole)
{
    AppendStrings builder;
    const std::string piece(AppendStrings::kInitialRoom, 'x');
    builder.AddToString(piece);
    EXPECT_EQ(builder.ReturnString(), piece);
}

TEST(AppendStrings, HoldsRawBytesIncludingNulAndHighBytes)
{
    std::string bytes;
    for (int value = 0; value < 256; ++value)
        bytes.push_back(static_cast<char>(value));
    AppendStrings builder;
    builder.AddToString(bytes);
    builder.AddToString(bytes);
    EXPECT_EQ(builder.ReturnString(), bytes + bytes);
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
