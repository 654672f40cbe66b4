#include "support/Utf8.h"

#include <gtest/gtest.h>

using namespace tessaly;

namespace {

const std::string kReplacement = "\xEF\xBF\xBD";

} // namespace

TEST(Utf8, EveryScalarValueRoundTrips)
{
    for (char32_t c = 0; c <= 0x10FFFF; ++c) {
        if (c >= 0xD800 && c <= 0xDFFF)
            continue;
        std::string bytes;
        appendUtf8(bytes, c);
        std::size_t pos = 0;
        ASSERT_EQ(nextCodePoint(bytes, pos), c);
        ASSERT_EQ(pos, bytes.size());
        ASSERT_TRUE(isValidUtf8(bytes));
    }
    EXPECT_TRUE(isValidUtf8(std::string("caf\xC3\xA9\0 ok", 8))); // NUL is text too
    EXPECT_TRUE(isValidUtf8(kReplacement));
}

TEST(Utf8, IllFormedBytesBecomeOneReplacementEach)
{
    const auto repaired = [](std::string_view bytes) {
        EXPECT_FALSE(isValidUtf8(bytes));
        return toValidUtf8(bytes);
    };
    EXPECT_EQ(repaired("a\x80z"), "a" + kReplacement + "z"); // stray continuation
    EXPECT_EQ(repaired("\xC0\xAF"), kReplacement);           // overlong "/"
    EXPECT_EQ(repaired("\xE0\x80\xAF"), kReplacement);       // overlong, three bytes
    EXPECT_EQ(repaired("\xED\xA0\x80"), kReplacement);       // surrogate
    EXPECT_EQ(repaired("\xF4\x90\x80\x80"), kReplacement);   // above U+10FFFF
    EXPECT_EQ(repaired("\xE6\x97"
                       "a"),
              kReplacement + "a");                                // cut short by ASCII
    EXPECT_EQ(repaired("x\xF0\x9F\x98"), "x" + kReplacement);     // cut short by the end
    EXPECT_EQ(repaired("\xFF\xFE"), kReplacement + kReplacement); // never a lead
    // The 8-byte ASCII skip must not pass over a bad byte late in a block.
    EXPECT_EQ(repaired("0123456789abcde\xFF"), "0123456789abcde" + kReplacement);
}

TEST(Utf8, CutsLandOnCharacterBoundaries)
{
    const std::string text = "a\xC3\xA9\xE6\x97\xA5\xF0\x9F\x98\x80"; // a é 日 😀: 1+2+3+4 bytes
    const std::size_t boundaries[] = {0, 1, 1, 3, 3, 3, 6, 6, 6, 6, 10, 10};
    for (std::size_t maxBytes = 0; maxBytes < std::size(boundaries); ++maxBytes)
        EXPECT_EQ(firstBytes(text, maxBytes).size(), boundaries[maxBytes]) << maxBytes;

    EXPECT_EQ(characterCount(text), 4u);
    EXPECT_EQ(byteLengthOfCharacters(text, 2), 3u);
    EXPECT_EQ(byteLengthOfCharacters(text, 9), text.size());
    // A stray continuation byte stays with the character before it.
    EXPECT_EQ(byteLengthOfCharacters("a\x80"
                                     "b",
                                     1),
              2u);
}

TEST(Utf8, AsciiCaseLeavesOtherBytesAlone)
{
    EXPECT_EQ(asciiLowercase("Content-TYPE: \xC3\x84Z"), "content-type: \xC3\x84z");
    EXPECT_TRUE(equalsIgnoringAsciiCase("SUBJECT:", "subject:"));
    EXPECT_FALSE(equalsIgnoringAsciiCase("\xC3\x84", "\xC3\xA4")); // Ä and ä: not ASCII
    EXPECT_FALSE(equalsIgnoringAsciiCase("page", "pages"));
}
