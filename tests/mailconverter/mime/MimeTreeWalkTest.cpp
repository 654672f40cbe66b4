// The walk over the MIME tree: bodies in order, attachments, forwarded messages, bounds.
#include "mailconverter/mime/MailMessage.h"

#include "tests/mailconverter/mime/MimeTestHelpers.h"

#include <glib.h>
#include <gtest/gtest.h>

using namespace tessaly;
using namespace tessaly::test;

namespace {

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

TEST(MimeTreeWalk, BodyCharsets)
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

TEST(MimeTreeWalk, AlternativePicksTheLastOneItCanShow)
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

TEST(MimeTreeWalk, MixedTextPartsInOrderAndOtherPartsAsAttachments)
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

TEST(MimeTreeWalk, ForwardedMessageIsShownAndAttached)
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

TEST(MimeTreeWalk, StrayEqualsSignsInBase64LoseNoBytes)
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

TEST(MimeTreeWalk, PartShorterThanItsDeclaredSizeWarns)
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

TEST(MimeTreeWalk, ReportsAndEncodedForwardsAreShown)
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

TEST(MimeTreeWalk, DeepNestingIsBounded)
{
    std::string text = "Subject: deep\n";
    const int depth = 2000;
    for (int i = 0; i < depth; ++i)
        text += "Content-Type: multipart/mixed; boundary=b" + std::to_string(i) + "\n\n--b" + std::to_string(i) + "\n";
    text += "Content-Type: text/plain\n\nbottom\n";
    const MailMessage message = parse(text);
    EXPECT_EQ(message.subject, "deep");
}

TEST(MimeTreeWalk, AttachedMessagesAreKeptAsTheyStandAndOneThatIsNoMessageKeepsItsName)
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
