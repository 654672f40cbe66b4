// The entry points: a message parsed from memory or from its file, however broken.
#include "mailconverter/mime/MailMessage.h"

#include "tests/mailconverter/mime/MimeTestHelpers.h"

#include <gtest/gtest.h>

using namespace tessaly;
using namespace tessaly::test;

TEST(MailMessageParsing, HeadersAndPlainBody)
{
    const MailMessage message =
        parse("From ann@example.com Mon Jan  2 10:00:00 2023\n"
              "From: =?utf-8?Q?J=C3=B6rg?= <joerg@example.com>\n"
              "To: a@example.com, \"Bee, B\" <b@example.com>, =?utf-8?B?SsO2cmc?= <c@example.com>\n"
              "Cc: Team: c@example.com, d@example.com;\n"
              "Subject: =?utf-8?Q?Gr=C3=BC=C3=9Fe?=\n"
              "Date: Fri, 5 Mar 2021 14:07:00 +0100\n"
              "Content-Type: text/plain; charset=utf-8\n"
              "\n"
              "Hello\n");
    EXPECT_EQ(message.subject, "Grüße");
    ASSERT_EQ(message.from.size(), 1u);
    EXPECT_EQ(message.from[0], (MailAddress{"Jörg", "joerg@example.com"}));
    EXPECT_EQ(senderDisplayName(message), "Jörg");
    ASSERT_EQ(message.to.size(), 3u);
    EXPECT_EQ(message.to[1].name, "Bee, B");
    // Regression: unpadded base64 in a display name came out truncated ("Jö").
    EXPECT_EQ(message.to[2].name, "Jörg");
    EXPECT_EQ(message.cc.size(), 2u);
    ASSERT_TRUE(message.date);
    EXPECT_EQ(message.date->utcSeconds, 1614949620);
    ASSERT_EQ(message.bodies.size(), 1u);
    EXPECT_EQ(message.bodies[0].kind, BodyPart::Kind::PlainText);
    EXPECT_EQ(message.bodies[0].text, "Hello\n");
}

TEST(MailMessageParsing, BrokenAndEmptyMessagesStillParse)
{
    const MailMessage noBody = parse("From: a@example.com\nSubject: empty\n\n");
    EXPECT_EQ(noBody.subject, "empty");
    EXPECT_TRUE(noBody.bodies.empty());

    const MailMessage wrongBoundary = parse("Subject: broken\n"
                                            "Content-Type: multipart/mixed; boundary=nothere\n\n"
                                            "--other\nContent-Type: text/plain\n\nstill readable\n");
    ASSERT_FALSE(wrongBoundary.bodies.empty());
    EXPECT_NE(wrongBoundary.bodies[0].text.find("still readable"), std::string::npos);

    const MailMessage unterminated =
        parse("Subject: cut\n"
              "Content-Type: multipart/mixed; boundary=m\n\n"
              "--m\nContent-Type: text/plain\n\npart one\n"
              "--m\nContent-Type: application/pdf\nContent-Transfer-Encoding: base64\n\nJVBE");
    ASSERT_EQ(unterminated.bodies.size(), 1u);
    EXPECT_EQ(unterminated.attachments.size(), 1u);

    EXPECT_TRUE(parseMailMessage("").ok());
    EXPECT_TRUE(parseMailMessage(std::string("\0\xff\xfe garbage", 12)).ok());
}

TEST(MailMessageParsing, BrokenHeaderBlocksLoseNoText)
{
    // A whitespace-only line or a line that is no header ends the header block.
    const MailMessage blankish = parse("From: a@example.com\nSubject: s\n \nfirst line\nDear: all\n");
    ASSERT_EQ(blankish.bodies.size(), 1u);
    EXPECT_EQ(blankish.bodies[0].text, " \nfirst line\nDear: all\n");
    const MailMessage stray = parse("From: a@example.com\nSubject: s\nthis is no header\nmore\n\nlast\n");
    EXPECT_EQ(stray.subject, "s");
    ASSERT_EQ(stray.bodies.size(), 1u);
    EXPECT_EQ(stray.bodies[0].text, "this is no header\nmore\n\nlast\n");
    const MailMessage escaped = parse(">From a@example.com Mon Jan  2 10:00:00 2023\nSubject: kept\n\nbody\n");
    EXPECT_EQ(escaped.subject, "kept");
    const MailMessage noHeaders = parse("\nonly a body\n");
    ASSERT_EQ(noHeaders.bodies.size(), 1u);
    EXPECT_EQ(noHeaders.bodies[0].text, "\nonly a body\n");

    // A byte order mark before the first header; a Content-Type that cannot be read.
    const MailMessage marked = parse("\xEF\xBB\xBF"
                                     "From: Ann <ann@example.com>\nContent-Type: text plain\n\nhello\n");
    EXPECT_EQ(senderDisplayName(marked), "Ann");
    ASSERT_EQ(marked.bodies.size(), 1u);
    EXPECT_EQ(marked.bodies[0].text, "hello\n");
    EXPECT_TRUE(marked.attachments.empty());
}

TEST(MailMessageParsing, UnreadableFileSaysWhich)
{
    Result<MailMessage> parsed = parseMailMessageFile("/nonexistent/email-1.eml");
    ASSERT_FALSE(parsed.ok());
    EXPECT_NE(parsed.error().message.find("/nonexistent/email-1.eml"), std::string::npos);
}
