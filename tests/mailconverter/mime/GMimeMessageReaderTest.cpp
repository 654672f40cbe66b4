#include "mailconverter/mime/GMimeMessageReader.h"

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
