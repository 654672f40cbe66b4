#include "mailconverter/mime/MailMessage.h"

#include "tests/mailconverter/mime/MimeTestHelpers.h"

#include <glib.h>
#include <gtest/gtest.h>

using namespace tessaly;
using tessaly::test::crlf;

namespace {

MailMessage parse(std::string_view text)
{
    Result<MailMessage> parsed = parseMailMessage(crlf(text));
    EXPECT_TRUE(parsed.ok());
    return parsed ? parsed.value() : MailMessage{};
}

/// A message of `subtype` ("mixed", "related", ...) made of `parts`, each its headers, a
/// blank line and its content.
std::string multipart(std::string_view subtype, std::initializer_list<std::string_view> parts)
{
    std::string text = "Subject: x\nContent-Type: multipart/" + std::string(subtype) + "; boundary=b\n\n";
    for (std::string_view part : parts)
        text.append("--b\n").append(part).append("\n");
    return text + "--b--\n";
}

std::vector<std::string> attachmentNames(const MailMessage &message)
{
    std::vector<std::string> names;
    for (const AttachmentPart &attachment : message.attachments)
        names.push_back(attachment.declaredName);
    return names;
}

/// Every byte value four times over.
std::string everyByteValue()
{
    std::string bytes;
    for (int round = 0; round < 4; ++round) {
        for (int value = 0; value < 256; ++value)
            bytes += static_cast<char>(value);
    }
    return bytes;
}

/// `bytes` in base64 (glib's encoder), in lines of 76 characters as mail carries it.
std::string base64Lines(std::string_view bytes)
{
    gchar *encoded = g_base64_encode(reinterpret_cast<const guchar *>(bytes.data()), bytes.size());
    const std::string text(encoded);
    g_free(encoded);
    std::string lines;
    for (std::size_t at = 0; at < text.size(); at += 76)
        lines.append(text, at, 76).append("\n");
    return lines;
}

/// A message whose one attachment, "data.bin", has `encoded` as its base64 content.
MailMessage withBase64Attachment(const std::string &encoded, std::string_view disposition = "attachment")
{
    return parse(multipart("mixed", {"Content-Type: text/plain\n\nsee the file",
                                     "Content-Type: application/octet-stream\nContent-Transfer-Encoding: base64\n"
                                     "Content-Disposition: " +
                                         std::string(disposition) + "; filename=data.bin\n\n" + encoded}));
}

} // namespace

TEST(MailMessage, HeadersAndPlainBody)
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

TEST(MailMessage, DisplayNameWithUnknownCharsetKeepsItsLetters)
{
    // Regression: GMime maps x-unknown to the C locale's charset and printed "J?rg".
    const MailMessage message = parse("From: =?x-unknown?Q?J=F6rg?= <j@example.com>\nSubject: s\n\nx\n");
    ASSERT_EQ(message.from.size(), 1u);
    EXPECT_EQ(message.from[0].name, "Jörg");
}

TEST(MailMessage, AMessageThunderbirdMarkedDeletedConvertsWithAWord)
{
    const auto warnings = [](std::string_view status) {
        return parse("X-Mozilla-Status: " + std::string(status) + "\nSubject: s\n\nx\n").warnings;
    };
    EXPECT_EQ(warnings("0009"), std::vector<std::string>{"deleted in the mail client"});
    EXPECT_TRUE(warnings("0001").empty());
    EXPECT_TRUE(warnings("junk").empty());
}

TEST(MailMessage, DateFallsBackToEnvelopeThenNewestReceived)
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

TEST(MailMessage, BodyCharsets)
{
    auto bodyOf = [](std::string_view contentType, std::string_view body) {
        const MailMessage message =
            parse(std::string("Subject: x\n") + std::string(contentType) + "\n\n" + std::string(body));
        return message.bodies.empty() ? std::string("<none>") : message.bodies[0].text;
    };
    EXPECT_EQ(bodyOf("Content-Type: text/plain; charset=utf-8", "caf\xE9\n"), "café\n");
    EXPECT_EQ(bodyOf("Content-Type: text/plain", "caf\xE9\n"), "café\n");
    EXPECT_EQ(bodyOf("Content-Type: text/plain; charset=iso-8859-1", "\x93hi\x94\n"), "\u201Chi\u201D\n");
    EXPECT_EQ(bodyOf("Content-Type: text/plain; charset=iso-8859-1\nContent-Transfer-Encoding: quoted-printable",
                     "caf=E9 =\nna=EFve\n"),
              "café naïve\n");
    EXPECT_EQ(bodyOf("Content-Type: text/html", "<meta charset=\"windows-1251\"><p>\xCF\xF0\xE8\xE2\xE5\xF2</p>\n"),
              "<meta charset=\"windows-1251\"><p>Привет</p>\n");
    EXPECT_EQ(bodyOf("Content-Type: text/plain; format=flowed; delsp=yes", "one \ntwo\n"), "onetwo\n");
}

TEST(MailMessage, AlternativePicksTheLastOneItCanShow)
{
    const MailMessage message =
        parse(multipart("alternative", {"Content-Type: text/plain\n\nplain", "Content-Type: text/html\n\n<p>rich</p>",
                                        "Content-Type: text/calendar\n\nBEGIN:VCALENDAR"}));
    // A calendar alternative is shown as well (here as its text, as it is no whole calendar)
    // and kept as a file.
    ASSERT_EQ(message.bodies.size(), 2u);
    EXPECT_EQ(message.bodies[0].kind, BodyPart::Kind::Html);
    EXPECT_EQ(message.bodies[0].text, "<p>rich</p>");
    EXPECT_EQ(message.bodies[1].kind, BodyPart::Kind::PlainText);
    EXPECT_EQ(message.bodies[1].text, "BEGIN:VCALENDAR");
    EXPECT_EQ(attachmentNames(message), (std::vector<std::string>{"invite.ics"}));

    // Best last, even when the sender put HTML first.
    const MailMessage reversed = parse(
        multipart("alternative", {"Content-Type: text/html\n\n<p>rich</p>", "Content-Type: text/plain\n\nplain"}));
    ASSERT_EQ(reversed.bodies.size(), 1u);
    EXPECT_EQ(reversed.bodies[0].text, "plain");
}

TEST(MailMessage, MixedTextPartsInOrderAndOtherPartsAsAttachments)
{
    const MailMessage message = parse(
        multipart("mixed", {"Content-Type: text/plain\n\nfirst",
                            "Content-Type: application/pdf; name=\"a.pdf\"\n"
                            "Content-Transfer-Encoding: base64\n\nJVBERi0=",
                            "Content-Type: text/plain\n\nsecond",
                            "Content-Type: text/plain\nContent-Disposition: attachment; filename=notes.txt\n\nnote",
                            "Content-Type: image/png\nContent-Disposition: inline\n\nPNG",
                            "Content-Type: text/plain\nContent-Disposition: inline; filename=log.txt\n\nlog"}));
    // The inline image and the inline named text are shown where they stand, and stay files.
    ASSERT_EQ(message.bodies.size(), 4u);
    EXPECT_EQ(message.bodies[0].text, "first");
    EXPECT_EQ(message.bodies[1].text, "second");
    EXPECT_EQ(message.bodies[2].kind, BodyPart::Kind::Image);
    ASSERT_NE(findInlineResource(message, message.bodies[2].text), nullptr);
    EXPECT_EQ(findInlineResource(message, message.bodies[2].text)->bytes, "PNG");
    EXPECT_EQ(message.bodies[3].text, "log");
    EXPECT_EQ(attachmentNames(message), (std::vector<std::string>{"a.pdf", "notes.txt", "", "log.txt"}));
    EXPECT_EQ(message.attachments[0].bytes, "%PDF-");
    EXPECT_EQ(message.attachments[0].mimeType, "application/pdf");
    EXPECT_EQ(message.attachments[2].mimeType, "image/png");
}

TEST(MailMessage, ReferencedImagesAreInlineAndOthersAreAttachments)
{
    const MailMessage message = parse(multipart(
        "related", {"Content-Type: text/html\n\n<img src=\"CID:logo@x\"><img src=\"banner.png\"><img src=cid:pct%40x>",
                    "Content-Type: image/png\nContent-ID: <logo@x>\n\nLOGO",
                    "Content-Type: image/png; name=unused.png\nContent-ID: <unused@x>\n\nUNUSED",
                    "Content-Type: image/gif\nContent-ID: <pct@x>\n\nGIF",
                    "Content-Type: image/png\nContent-Location: banner.png\n\nBANNER"}));
    // The image no HTML uses is drawn after the body, and is an attachment too.
    ASSERT_EQ(message.inlineResources.size(), 4u);
    EXPECT_EQ(message.inlineResources[0].contentId, "logo@x");
    EXPECT_EQ(message.inlineResources[0].bytes, "LOGO");
    EXPECT_EQ(message.inlineResources[1].contentId, "unused@x");
    EXPECT_EQ(message.inlineResources[2].contentId, "pct@x");
    EXPECT_EQ(message.inlineResources[3].contentLocation, "banner.png");
    EXPECT_EQ(resourceKey(message.inlineResources[3]), "banner.png");
    ASSERT_EQ(message.bodies.size(), 2u);
    EXPECT_EQ(message.bodies[1].kind, BodyPart::Kind::Image);
    EXPECT_EQ(message.bodies[1].text, "unused@x");
    EXPECT_EQ(attachmentNames(message), (std::vector<std::string>{"unused.png"}));
    ASSERT_NE(findInlineResource(message, "logo@x"), nullptr);
    EXPECT_EQ(findInlineResource(message, "nope"), nullptr);
}

TEST(MailMessage, ForwardedMessageIsShownAndAttached)
{
    const MailMessage message = parse(
        multipart("mixed", {"Content-Type: text/plain\n\nsee below",
                            "Content-Type: message/rfc822\n\n"
                            "From: Inner <inner@example.com>\nSubject: inner\nDate: Tue, 3 Jan 2023 08:00:00 +0000\n\n"
                            "inner body"}));
    ASSERT_EQ(message.forwarded.size(), 1u);
    EXPECT_EQ(message.forwarded[0].subject, "inner");
    EXPECT_EQ(senderDisplayName(message.forwarded[0]), "Inner");
    ASSERT_EQ(message.forwarded[0].bodies.size(), 1u);
    EXPECT_EQ(message.forwarded[0].bodies[0].text, "inner body");
    ASSERT_EQ(message.attachments.size(), 1u);
    EXPECT_TRUE(message.attachments[0].isForwardedMessage);
    EXPECT_EQ(message.attachments[0].mimeType, "message/rfc822");
    EXPECT_NE(message.attachments[0].bytes.find("Subject: inner"), std::string::npos);
    EXPECT_NE(message.attachments[0].bytes.find("inner body"), std::string::npos);
}

TEST(MailMessage, AttachmentNames)
{
    const MailMessage message = parse(
        multipart("mixed", {"Content-Type: text/plain\n\nbody",
                            "Content-Type: application/octet-stream\n"
                            "Content-Disposition: attachment; filename*=UTF-8''%C3%BCbersicht%20%E2%82%AC.txt\n\nx",
                            "Content-Type: application/octet-stream\n"
                            "Content-Disposition: attachment; filename=\"=?utf-8?B?5pel5pys?=.txt\"\n\nx",
                            "Content-Type: application/octet-stream\n"
                            "Content-Disposition: attachment; filename=\"C:\\Windows\\evil.exe\"\n\nx",
                            "Content-Type: application/octet-stream; name=\"=?utf-8?B?SsO2cmc?=.txt\"\n\nx"}));
    // Backslashes survive (the safe-name step needs them to find the base name), and
    // unpadded base64 is read whole.
    EXPECT_EQ(attachmentNames(message),
              (std::vector<std::string>{"übersicht €.txt", "日本.txt", "C:\\Windows\\evil.exe", "Jörg.txt"}));
}

TEST(MailMessage, BrokenAndEmptyMessagesStillParse)
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

TEST(MailMessage, StrayEqualsSignsInBase64LoseNoBytes)
{
    // GMime's decoder stopped at the first "=", wherever it stood: a 50 MB attachment from a
    // broken gateway came out as 171 bytes.
    const std::string original = everyByteValue();
    const std::string lines = base64Lines(original);
    std::string atLineEnds;
    for (char c : lines)
        atLineEnds += c == '\n' ? std::string("=\n") : std::string(1, c);
    struct Row
    {
        const char *fault;
        std::string encoded;
    };
    const Row rows[] = {
        {"an = at every line end", atLineEnds},
        {"an = after the first character of a quantum", std::string(lines).insert(77 + 1, "=")},
        {"an = after the second character of a quantum", std::string(lines).insert(77 + 2, "=")},
        {"a padded piece, then the rest", base64Lines(original.substr(0, 100)) + base64Lines(original.substr(100))},
    };
    for (const Row &row : rows) {
        const MailMessage message = withBase64Attachment(row.encoded);
        ASSERT_EQ(message.attachments.size(), 1u) << row.fault;
        EXPECT_EQ(message.attachments[0].bytes.size(), original.size()) << row.fault;
        EXPECT_TRUE(message.attachments[0].bytes == original) << row.fault;
        EXPECT_TRUE(message.warnings.empty()) << row.fault;
    }
}

TEST(MailMessage, PartShorterThanItsDeclaredSizeWarns)
{
    const std::string original = everyByteValue();
    const std::string size = "attachment; size=" + std::to_string(original.size());
    EXPECT_TRUE(withBase64Attachment(base64Lines(original), size).warnings.empty());

    const MailMessage cut = withBase64Attachment(base64Lines(original.substr(0, 600)), size);
    ASSERT_EQ(cut.attachments.size(), 1u);
    EXPECT_EQ(cut.attachments[0].bytes, original.substr(0, 600));
    EXPECT_EQ(cut.warnings,
              std::vector<std::string>{"the part 'data.bin' decodes to 600 of the 1024 bytes its headers declare"});
}

TEST(MailMessage, BrokenHeaderBlocksLoseNoText)
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

TEST(MailMessage, ReportsAndEncodedForwardsAreShown)
{
    const MailMessage message = parse(multipart("report; report-type=delivery-status",
                                                {"Content-Type: text/plain\n\nnot delivered",
                                                 "Content-Type: message/delivery-status\n\nAction: failed",
                                                 "Content-Type: message/feedback-report\n\nFeedback-Type: abuse",
                                                 "Content-Type: text/rfc822-headers\n\nSubject: original",
                                                 "Content-Type: message/rfc822\nContent-Transfer-Encoding: base64\n\n"
                                                 "U3ViamVjdDogaW5uZXIKCmlubmVyIGJvZHkK"}));
    std::vector<std::string> texts;
    for (const BodyPart &body : message.bodies)
        texts.push_back(body.text);
    EXPECT_EQ(texts, (std::vector<std::string>{"not delivered", "Action: failed", "Feedback-Type: abuse",
                                               "Subject: original"}));
    ASSERT_EQ(message.forwarded.size(), 1u);
    EXPECT_EQ(message.forwarded[0].subject, "inner");
    ASSERT_EQ(message.forwarded[0].bodies.size(), 1u);
    EXPECT_EQ(message.forwarded[0].bodies[0].text, "inner body\n");
    ASSERT_EQ(message.attachments.size(), 1u);
    EXPECT_TRUE(message.attachments[0].isForwardedMessage);
}

TEST(MailMessage, CharsetsTheMessageDeclares)
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

TEST(MailMessage, DeepNestingIsBounded)
{
    std::string text = "Subject: deep\n";
    const int depth = 2000;
    for (int i = 0; i < depth; ++i)
        text += "Content-Type: multipart/mixed; boundary=b" + std::to_string(i) + "\n\n--b" + std::to_string(i) + "\n";
    text += "Content-Type: text/plain\n\nbottom\n";
    const MailMessage message = parse(text);
    EXPECT_EQ(message.subject, "deep");
}

TEST(MailMessage, UnreadableFileSaysWhich)
{
    Result<MailMessage> parsed = parseMailMessageFile("/nonexistent/email-1.eml");
    ASSERT_FALSE(parsed.ok());
    EXPECT_NE(parsed.error().message.find("/nonexistent/email-1.eml"), std::string::npos);
}

TEST(MailMessage, BytesThatDoNotDecodeAreMarkedAndWarnedAbout)
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

TEST(MailMessage, AttachedMessagesAreKeptAsTheyStandAndOneThatIsNoMessageKeepsItsName)
{
    // parse() gives the message CR LF line ends.
    const MailMessage message = parse("Subject: s\nContent-Type: multipart/mixed; boundary=o\n\n--o\n"
                                      "Content-Type: message/rfc822; name=broken.eml\n\nno header\n\n"
                                      "--o\nContent-Type: message/rfc822\n\nSubject: inner\n"
                                      "Content-Type: multipart/mixed; boundary=i\n\n--i\n\ntext\n--i--\n"
                                      "--o--\n");
    ASSERT_EQ(message.attachments.size(), 2u);
    EXPECT_EQ(message.attachments[0].declaredName, "broken.eml");
    EXPECT_EQ(message.attachments[0].bytes, "no header\r\n");
    EXPECT_FALSE(message.attachments[0].isForwardedMessage);
    EXPECT_EQ(message.attachments[1].bytes,
              "Subject: inner\r\nContent-Type: multipart/mixed; boundary=i\r\n\r\n--i\r\n\r\ntext\r\n--i--");
    ASSERT_EQ(message.forwarded.size(), 1u);
    EXPECT_EQ(message.forwarded[0].subject, "inner");
}
