// A message's headers in its model, and the charsets its parts declare.
#include "mailconverter/mime/MailMessage.h"

#include "tests/mailconverter/mime/MimeTestHelpers.h"

#include <gtest/gtest.h>

using namespace tessaly;
using namespace tessaly::test;

TEST(MessageModelBuilder, DisplayNameWithUnknownCharsetKeepsItsLetters)
{
    // Regression: GMime maps x-unknown to the C locale's charset and printed "J?rg".
    const MailMessage message = parse("From: =?x-unknown?Q?J=F6rg?= <j@example.com>\nSubject: s\n\nx\n");
    ASSERT_EQ(message.from.size(), 1u);
    EXPECT_EQ(message.from[0].name, "Jörg");
}

TEST(MessageModelBuilder, AMessageThunderbirdMarkedDeletedConvertsWithAWord)
{
    const auto warnings = [](std::string_view status) {
        return parse("X-Mozilla-Status: " + std::string(status) + "\nSubject: s\n\nx\n").warnings;
    };
    EXPECT_EQ(warnings("0009"), std::vector<std::string>{"deleted in the mail client"});
    EXPECT_TRUE(warnings("0001").empty());
    EXPECT_TRUE(warnings("junk").empty());
}

TEST(MessageModelBuilder, DateFallsBackToEnvelopeThenNewestReceived)
{
    const MailMessage envelope = parse("From ann@example.com Mon Jan  2 10:00:00 2023\n"
                                       "Date: garbage\n"
                                       "Received: from a by b; Tue, 3 Jan 2023 08:00:00 +0000\n"
                                       "Subject: x\n\nbody\n");
    ASSERT_TRUE(envelope.date);
    EXPECT_EQ(envelope.date->utcSeconds, 1672653600);

    const MailMessage received = parse("From ann@example.com\n"
                                       "Received: from a by b; Wed, 4 Jan 2023 08:00:00 +0000\n"
                                       "Received: from c by a; Tue, 3 Jan 2023 08:00:00 +0000\n"
                                       "Subject: x\n\nbody\n");
    ASSERT_TRUE(received.date);
    EXPECT_EQ(received.date->utcSeconds, 1672819200);

    EXPECT_FALSE(parse("Subject: none\n\nbody\n").date);
}

TEST(MessageModelBuilder, CharsetsTheMessageDeclares)
{
    // Raw 8-bit headers are read in the charset of the message's text.
    const MailMessage raw =
        parse("From: \xD6\xD0\xCE\xC4 <zh@example.com>\nTo: Ann Lee\nCc: zf@example.com (=?utf-8?B?5p2O?=), "
              "\"Bo\" <bo@example.com> (Sales)\nSubject: \xD6\xD0\xCE\xC4\n"
              "Content-Type: text/plain; charset=gb2312\n\n\xD6\xD0\xCE\xC4\n");
    EXPECT_EQ(raw.subject, "中文");
    EXPECT_EQ(senderDisplayName(raw), "中文");
    EXPECT_EQ(raw.to, (std::vector<MailAddress>{{"Ann Lee", ""}}));
    const MailMessage names = parse("To: =?utf-8?B?5p2O?=,=?utf-8?Q?J=C3=B6rg?=\n\nx\n");
    EXPECT_EQ(names.to, (std::vector<MailAddress>{{"李", ""}, {"Jörg", ""}}));
    EXPECT_EQ(raw.cc, (std::vector<MailAddress>{{"李", "zf@example.com"}, {"Bo (Sales)", "bo@example.com"}}));
    EXPECT_TRUE(raw.warnings.empty());

    // A body in the wrong member of its family is read in the right one, and says so.
    const MailMessage mislabelled = parse("Subject: x\nContent-Type: text/plain; charset=iso-2022-jp\n"
                                          "Content-Transfer-Encoding: 8bit\n\n"
                                          "\xC6\xFC\xCB\xDC\xB8\xEC\n");
    ASSERT_EQ(mislabelled.bodies.size(), 1u);
    EXPECT_EQ(mislabelled.bodies[0].text, "日本語\n");
    ASSERT_EQ(mislabelled.warnings.size(), 1u);
    EXPECT_NE(mislabelled.warnings[0].find("euc-jp"), std::string::npos);

    // Shift_JIS labelled us-ascii, in a message whose subject is Japanese.
    const MailMessage ascii =
        parse("Subject: =?ISO-2022-JP?B?GyRCRnxLXBsoQg==?=\nContent-Type: text/plain; charset=us-ascii\n\n"
              "\x93\xFA\x96\x7B\x8C\xEA\n");
    EXPECT_EQ(ascii.subject, "日本");
    ASSERT_EQ(ascii.bodies.size(), 1u);
    EXPECT_EQ(ascii.bodies[0].text, "日本語\n");
    EXPECT_EQ(ascii.bodies[0].charset, "shift_jis"); // the family member that read it
}

TEST(MessageModelBuilder, BytesThatDoNotDecodeAreMarkedAndWarnedAbout)
{
    // A Shift_JIS subject and body, each with a byte that is no Shift_JIS.
    const MailMessage message = parse("Subject: =?shift_jis?B?gqD/?=\nContent-Type: text/plain; charset=shift_jis\n\n"
                                      "\x82\xa0\xff\n");
    EXPECT_EQ(message.subject, "あ\uFFFD");
    ASSERT_EQ(message.bodies.size(), 1u);
    EXPECT_EQ(message.bodies[0].text, "あ\uFFFD\n");
    EXPECT_EQ(message.warnings,
              (std::vector<std::string>{"the subject has places that do not decode in its charset, shown as U+FFFD",
                                        "a body labelled 'shift_jis' has 1 place that does not decode in it, shown "
                                        "as U+FFFD"}));
}
