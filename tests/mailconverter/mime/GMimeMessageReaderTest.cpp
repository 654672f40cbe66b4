#include "mailconverter/mime/GMimeMessageReader.h"

#include "mailconverter/mime/MailMessage.h"
#include "support/TextHelpers.h"

#include "tests/mailconverter/mime/MimeTestHelpers.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

using namespace tessaly;
using tessaly::test::crlf;

namespace {

class GMimeMessageReaderTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        setenv("TZ", "Europe/Berlin", 1);
        tzset();
    }

    // Loads `text` as the naming step does: from the message's bytes as split, CR LF line ends.
    std::unique_ptr<MessageReader> load(std::string_view text)
    {
        auto reader = gmimeMessageReaderFactory()();
        EXPECT_TRUE(reader->LoadMessage(crlf(text)));
        return reader;
    }
};

} // namespace

TEST_F(GMimeMessageReaderTest, ReportsDecodedValuesAndLocalDate)
{
    auto reader = load("From sender@example.com Fri Mar  5 13:07:00 2021\n"
                       "From: =?iso-8859-1?Q?Ren=E9?= <rene@example.com>\n"
                       "Subject: =?utf-8?B?5pel5pys6Kqe?= and\n\tmore\n"
                       "To: =?utf-8?Q?J=C3=B6rg?= <joerg@example.com>, ann@example.org\n"
                       "Message-ID:\n <abc.123@example.com>\n"
                       "Date: Fri, 5 Mar 2021 23:30:00 -0000\n\nbody\n");
    EXPECT_EQ(reader->Subject(), "日本語 and\tmore");
    EXPECT_EQ(reader->From(), "René");
    EXPECT_EQ(reader->To(), "Jörg <joerg@example.com>, ann@example.org");
    EXPECT_EQ(reader->MessageId(), "abc.123@example.com");
    // 23:30 UTC is already the next day in Berlin.
    EXPECT_EQ(reader->Date(), (MessageDateTime{2021, 3, 6, 0, 30, 0}));
}

TEST_F(GMimeMessageReaderTest, RawEightBitSubjects)
{
    EXPECT_EQ(load("Subject: Gr\xC3\xBC\xC3\x9F"
                   "e aus K\xC3\xB6ln\n\nx\n")
                  ->Subject(),
              "Grüße aus Köln");
    EXPECT_EQ(load("Subject: Gr\xFC\xDF"
                   "e aus K\xF6ln\n\nx\n")
                  ->Subject(),
              "Grüße aus Köln");
    EXPECT_EQ(load("Subject: =?x-unknown?B?R3LDvMOfZQ?=\n\nx\n")->Subject(), "Grüße");
    // Not UTF-8: read in the charset the body declares, as on the page.
    EXPECT_EQ(load("Subject: \xA4\xA4\xA4\xE5\nContent-Type: text/plain; charset=big5\n\nx\n")->Subject(), "中文");
}

TEST_F(GMimeMessageReaderTest, BrokenHeaderBlock)
{
    auto reader = load("\xEF\xBB\xBF"
                       "From: Ann <ann@example.com>\nSubject: s\n \nbody\n");
    EXPECT_EQ(reader->From(), "Ann");
    EXPECT_EQ(reader->Subject(), "s");
}

TEST_F(GMimeMessageReaderTest, FromIsTheAddressWhenThereIsNoName)
{
    EXPECT_EQ(load("From: plain@example.com\nSubject: s\n\nx\n")->From(), "plain@example.com");
}

TEST_F(GMimeMessageReaderTest, GarbageDateUsesTheEnvelopeLineAndNoDateAnywhereIsNullopt)
{
    EXPECT_EQ(load("From sender@example.com Mon Jan  2 10:00:00 2023\n"
                   "Date: Mon, 32 Foo 2023 25:61:00 +9999\nSubject: s\n\nx\n")
                  ->Date(),
              (MessageDateTime{2023, 1, 2, 11, 0, 0}));
    EXPECT_EQ(load("From sender@example.com\nSubject: s\n\nx\n")->Date(), std::nullopt);
}

TEST_F(GMimeMessageReaderTest, EmptyMessageGivesEmptyValues)
{
    auto reader = load("From sender@example.com\n\n");
    EXPECT_EQ(reader->Subject(), "");
    EXPECT_EQ(reader->From(), "");
    EXPECT_EQ(reader->Date(), std::nullopt);
}

TEST_F(GMimeMessageReaderTest, ReadsTheHeaderBlockAloneAsTheWholeParseReadsIt)
{
    const std::string manyWords = [] {
        std::string words;
        for (int i = 0; i < 250; ++i)
            words += "=?utf-8?Q?a?= ";
        return words;
    }();
    const std::vector<std::string> messages = {
        "From a@example.com Mon Jan  2 10:00:00 2023\nFrom: \"Doe, Jane\" <jane@example.com> (Sales)\n"
        "To: team: ann@example.com, =?utf-8?B?QsO2Yg==?= <bob@example.com>;\nSubject: =?utf-8?Q?caf=C3=A9?=\n\tfolded\n"
        "Message-Id: <x.1@example.com>\nDate: Tue, 3 Jan 2023 09:00:00 +0100\n\nSubject: not this\n",
        "From a@example.com Mon Jan  2 10:00:00 2023\nReceived: by x; Sun, 1 Jan 2023 08:00:00 +0000\n"
        "Received: by y; Sat, 31 Dec 2022 08:00:00 +0000\nSubject: \xE4\xB8\xAD\nFrom: =?gb2312?B?1tDOxA==?=\n\nx\n",
        "From a\nContent-Type: text/plain; charset=koi8-r\nSubject: \xF0\xD2\xC9\xD7\xC5\xD4\n\nx\n",
        "From a\n>From b\nSubject: after a second envelope line\nbody starts here\nTo: not@header.example\n\nx\n",
        "From a\nSubject: s\n  \nTo: after.a.blank.line@example.com\n\nx\n",
        "From a\n \nSubject: after a blank first line\nTo: ann@example.com\n\nx\n",
        "From a\nSubject: =?ISO-2022-JP?B?GyRCLSEbKEI=?= Windows extensions\n\nx\n",
        "From a\nSubject: " + manyWords + "\nFrom: " + manyWords + "<many@example.com>\n\nx\n",
        "From a\nDate: garbage\n\nx\n",
        "From a\nSubject:  trailing blanks \t\nFrom:  Ann  <ann@example.com> \n\nx\n",
        "From a\nSubject: =?utf-8?Q?a?= \n\nx\n",
        // Raw 8-bit headers in the charset of a multipart's first text part.
        "From a\nSubject: \xBB\xE1\xD2\xE9\nContent-Type: multipart/mixed; boundary=\"b\"\n\n--b\n"
        "Content-Type: image/png\n\n--b\nContent-Type: text/plain;\n charset=gb2312\n\nx\n--b--\n",
    };
    for (const std::string &text : messages) {
        SCOPED_TRACE(text.substr(0, 120));
        const Result<MailMessage> parsed = parseMailMessage(crlf(text));
        ASSERT_TRUE(parsed);
        const MailMessage &whole = parsed.value();
        auto reader = load(text);
        EXPECT_EQ(reader->Subject(), cutForDisplay(whole.subject, kMaxHeaderValueCharacters));
        EXPECT_EQ(reader->From(), senderDisplayName(whole));
        EXPECT_EQ(reader->MessageId(), whole.messageId);
        std::string to;
        for (const MailAddress &recipient : whole.to)
            to += (to.empty() ? "" : ", ") +
                  (recipient.name.empty() ? recipient.address : recipient.name + " <" + recipient.address + ">");
        EXPECT_EQ(reader->To(), to);
        EXPECT_EQ(reader->Date().has_value(), whole.date.has_value());
    }
}

TEST_F(GMimeMessageReaderTest, HeaderLinesPastOneMegabyteAreNotReadAndValuesAreCutAsOnThePage)
{
    const std::string filler = "X-Filler: " + std::string(kMaxHeaderBlockBytes, 'f') + "\n";
    auto late = load("From a\n" + filler + "Subject: too late\nFrom: late@example.com\n\nbody\n");
    EXPECT_EQ(late->Subject(), "");
    EXPECT_EQ(late->From(), "");

    const std::string longSubject(3 * kMaxHeaderBlockBytes, 's');
    auto cut = load("From a\nFrom: Ann <ann@example.com>\nSubject: " + longSubject + "\n\nbody\n");
    EXPECT_EQ(cut->From(), "Ann");
    // The value ends where the cap cuts the block (after "From: Ann <ann@example.com>" CR LF
    // and "Subject: ", 38 bytes), and is then cut as the page cuts it.
    EXPECT_EQ(cut->Subject(), std::string(kMaxHeaderValueCharacters, 's') +
                                  " [… cut: " + groupedNumber(kMaxHeaderBlockBytes - 38 - kMaxHeaderValueCharacters) +
                                  " more characters]");
}
