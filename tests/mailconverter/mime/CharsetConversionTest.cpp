// Reading labelled text as clients do: Windows supersets, and bad bytes marked, never dropped.
#include "mailconverter/mime/CharsetConversion.h"

#include "mailconverter/mime/CharsetDecoding.h"

#include <gtest/gtest.h>

using namespace tessaly;

TEST(CharsetConversion, ReadsIso2022JpAsWindowsWritesIt)
{
    struct Row
    {
        const char *what;
        std::string_view bytes;
        const char *text;
        std::size_t badPlaces;
    };
    const Row rows[] = {
        {"NEC row 13", "\x1b$B-!-b-j\x1b(B", "①№㈱", 0},
        {"IBM rows 89-92", "\x1b$By!\x1b(B", "纊", 0},
        {"katakana after ESC ( I", "\x1b(I1\x1b(B", "ｱ", 0},
        {"katakana between SO and SI",
         "a\x0e"
         "1\x0f"
         "b",
         "aｱb", 0},
        {"JIS X 0212", "\x1b$(D0!\x1b(B", "丂", 0},
        {"JIS-Roman as ASCII", "\x1b(J\\~\x1b(B", "\\~", 0},
        {"line ends inside two-byte mode", "\x1b$B$\"\n$\"\x1b(B", "あ\nあ", 0},
        {"an 8-bit byte", "a\xA4\xA2z", "a\uFFFD\uFFFDz", 2},
        {"text after an escape we do not read", "\x1b$A0!x\x1b(By", "\uFFFD\uFFFD\uFFFD\uFFFDy", 4},
        {"a half character at the end", "\x1b$B$\"$", "あ\uFFFD", 1},
        {"a lone escape", "a\x1b", "a\uFFFD", 1},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        const CharsetConversion conversion = convertCharset(row.bytes, "iso-2022-jp");
        EXPECT_TRUE(conversion.known);
        EXPECT_EQ(conversion.text, row.text);
        EXPECT_EQ(conversion.badPlaces, row.badPlaces);
    }
}

TEST(CharsetConversion, EscapeBytesNeverReachTheText)
{
    // One Windows character once turned a whole subject into raw escape sequences.
    EXPECT_EQ(decodeToUtf8("\x1b$B2q5D\x1b(B \x1b$B-!\x1b(B", "ISO-2022-JP"), "会議 ①");
    EXPECT_EQ(decodeToUtf8("\x1b$B2q\x1b$A\x1b(B", "iso-2022-jp"), "会\uFFFD");
    const DecodedBody body = decodeBodyText("\x82\xa0\xff", "Shift_JIS", {});
    EXPECT_EQ(body.text, "あ\uFFFD");
    EXPECT_EQ(body.badPlaces, 1u);
}

TEST(CharsetConversion, LabelsFollowTheWhatwgAliases)
{
    EXPECT_EQ(converterNameOf("shift_jis"), "CP932");
    EXPECT_EQ(converterNameOf("gb2312"), "GB18030");
    EXPECT_EQ(converterNameOf("ks_c_5601-1987"), "CP949");
    EXPECT_EQ(converterNameOf("tis-620"), "CP874");
    EXPECT_EQ(converterNameOf("koi8-r"), "koi8-r");
    EXPECT_EQ(decodeToUtf8("\xD0\xFD", "iso-8859-9"), "\xC4\x9E\xC4\xB1"); // ĞÄ± in windows-1254: Ğı
}
