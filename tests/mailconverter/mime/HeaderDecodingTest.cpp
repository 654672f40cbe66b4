#include "mailconverter/mime/HeaderDecoding.h"

#include "mailconverter/mime/CharsetDecoding.h"
#include "mailconverter/mime/GMimeSession.h"
#include "mailconverter/mime/MailMessage.h"
#include "support/Utf8.h"

#include <gtest/gtest.h>

using namespace tessaly;

namespace {

class HeaderDecoding : public ::testing::Test
{
protected:
    void SetUp() override { ensureGMimeInitialised(); }
};

} // namespace

TEST_F(HeaderDecoding, HeaderTextBecomesUtf8)
{
    const std::pair<std::string_view, std::string_view> cases[] = {
        // Encoded words in several charsets, and a language tag.
        {"=?ISO-8859-1?Q?Caf=E9_cr=E8me?=", "Café crème"},
        {"=?utf-8?B?0J/RgNC40LLQtdGC?=", "Привет"},
        {"=?koi8-r?B?8NLJ18XU?=", "Привет"},
        {"=?windows-1252?Q?=93quoted=94?=", "\u201Cquoted\u201D"},
        {"=?ISO-2022-JP?B?GyRCRnxLXDhsGyhC?=", "日本語"},
        {"=?utf-8*en?Q?hello?=", "hello"},
        // A character split across encoded words: U+1F600 is F0 9F 98 80, two bytes in each.
        {"=?UTF-8?Q?smile_=F0=9F?= =?UTF-8?Q?=98=80_end?=", "smile \U0001F600 end"},
        {"=?UTF-8?B?8J8=?=\r\n =?UTF-8?B?mIA=?=", "\U0001F600"},
        // White space between words goes, around text it stays.
        {"=?utf-8?Q?a?= =?utf-8?Q?b?=", "ab"},
        {"Re: =?utf-8?Q?caf=C3=A9?= time", "Re: café time"},
        {"=?iso-8859-1?Q?=E9?= =?utf-8?Q?=C3=A9?=", "éé"},
        {"Tab\there", "Tab\there"},
        // Unknown charsets and unpadded base64.
        {"=?x-unknown?Q?caf=C3=A9?=", "café"},
        {"=?x-unknown?Q?caf=E9?=", "café"},
        {"=?no-such-charset?B?Y2Fmw6k?=", "café"},
        {"=?utf-8?B?SGVsbG8?=", "Hello"},
        // Raw 8-bit headers, in UTF-8 and in windows-1252.
        {"Gr\xC3\xBC\xC3\x9F"
         "e",
         "Grüße"},
        {"Gr\xFC\xDF"
         "e \x80",
         "Grüße €"},
        // Malformed encoded words stay as text.
        {"=?utf-8?Q?unterminated", "=?utf-8?Q?unterminated"},
        {"=?utf-8?X?abc?=", "=?utf-8?X?abc?="},
        {"a =?? b", "a =?? b"},
    };
    for (const auto &[header, expected] : cases)
        EXPECT_EQ(decodeHeaderText(header), expected) << header;
}

// Each of these took minutes when every "=?" started a search to the end of the header; read
// in one pass they take milliseconds, and the test stays far inside the test timeout.
TEST_F(HeaderDecoding, ManyUnclosedEncodedWordsAreReadInOnePass)
{
    std::string unclosed;
    for (int i = 0; i < 600000; ++i)
        unclosed += "=?a?Q?x";
    // Compared with EXPECT_TRUE: a failure must not print megabytes.
    EXPECT_TRUE(decodeHeaderText(unclosed) == unclosed);
    EXPECT_TRUE(decodeHeaderText(unclosed + " ?=") == unclosed + " ?=");
    EXPECT_FALSE(decodeHeaderText(unclosed + "?=").empty()); // one long word, in an unknown charset
    // GMime's own decoder is quadratic too: such a header must not reach it.
    Result<MailMessage> parsed = parseMailMessage("From: a@example.com\nSubject: " + unclosed + "\n\nbody\n");
    ASSERT_TRUE(parsed.ok());
    EXPECT_TRUE(parsed.value().subject == unclosed);
    ASSERT_EQ(parsed.value().bodies.size(), 1u);
}

TEST_F(HeaderDecoding, ReencodingKeepsStructureAndText)
{
    const std::string reencoded =
        reencodeEncodedWords("\"=?x-unknown?Q?M=FCller?=, H\" <h@example.com>, =?utf-8?B?SsO2cmc?= <j@x>");
    EXPECT_EQ(reencoded, "\"=?UTF-8?B?TcO8bGxlcg==?=, H\" <h@example.com>, =?UTF-8?B?SsO2cmc=?= <j@x>");
    EXPECT_EQ(decodeHeaderText(reencoded), "\"Müller, H\" <h@example.com>, Jörg <j@x>");
}

TEST_F(HeaderDecoding, UnfoldingKeepsTabsAndFoldingWhitespace)
{
    EXPECT_EQ(unfoldHeader(" Long\r\n subject\r\n\tline\r\n"), " Long subject\tline");
}

TEST_F(HeaderDecoding, Dates)
{
    const auto date = parseHeaderDate("Fri, 5 Mar 2021 14:07:00 +0100");
    ASSERT_TRUE(date);
    EXPECT_EQ(date->utcSeconds, 1614949620);
    EXPECT_EQ(date->offsetMinutes, 60);
    EXPECT_FALSE(parseHeaderDate("Mon, 32 Foo 2023 25:61:00 +9999"));
    EXPECT_FALSE(parseHeaderDate(""));

    const auto envelope = parseEnvelopeDate("From someone@example.com Mon Jan  2 10:00:00 2023\r\n");
    ASSERT_TRUE(envelope);
    EXPECT_EQ(envelope->utcSeconds, 1672653600);
    EXPECT_FALSE(parseEnvelopeDate("From someone@example.com"));

    const auto received =
        parseReceivedDate("from mx.example.com by mail.example.org;\r\n Tue, 3 Jan 2023 08:00:00 +0000");
    ASSERT_TRUE(received);
    EXPECT_EQ(received->utcSeconds, 1672732800);
}

TEST(CharsetDecoding, LabelsThatLie)
{
    // Latin-1 "café" labelled utf-8 must keep its last letter.
    EXPECT_EQ(decodeToUtf8("caf\xE9", "utf-8"), "café");
    // Valid UTF-8 labelled Latin-1 is UTF-8.
    EXPECT_EQ(decodeToUtf8("caf\xC3\xA9", "iso-8859-1"), "café");
    EXPECT_EQ(decodeToUtf8("caf\xE9", ""), "café");
    EXPECT_EQ(decodeToUtf8("\x93smart\x94 \x96 \x80", "us-ascii"), "\u201Csmart\u201D \u2013 €");
    EXPECT_EQ(decodeToUtf8("\xCF\xF0\xE8\xE2\xE5\xF2", "windows-1251"), "Привет");
    EXPECT_EQ(decodeToUtf8("caf\xE9", "bogus-charset"), "café");
}

TEST(CharsetDecoding, TruncatedMultibyteTailIsNotDropped)
{
    // Shift_JIS "日本" followed by a lone lead byte.
    const std::string decoded = decodeToUtf8("\x93\xfa\x96\x7b\x93", "shift_jis");
    EXPECT_TRUE(isValidUtf8(decoded));
    EXPECT_GE(decoded.size(), 5u);
}

TEST(CharsetDecoding, EveryByteValueSurvives)
{
    std::string all;
    for (int i = 1; i < 256; ++i)
        all += static_cast<char>(i);
    const std::string decoded = decodeToUtf8(all, "");
    EXPECT_TRUE(isValidUtf8(decoded));
    // 127 ASCII bytes, then 128 characters of two or three bytes each.
    EXPECT_GE(decoded.size(), 127u + 2 * 128u);
    EXPECT_EQ(normaliseLineEnds("a\r\nb\rc\n"), "a\nb\nc\n");
}
