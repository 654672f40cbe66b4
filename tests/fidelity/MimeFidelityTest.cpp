// What a reader of the PDF sees of a message's MIME structure, of broken header blocks and of
// charsets that headers and labels get wrong.
#include "tests/fidelity/FidelityHarness.h"
#include "tests/mailconverter/render/PdfProbe.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace tessaly::test;

namespace {

// The text of the PDF in reading order, whitespace collapsed.
std::string collapsed(const QString &text)
{
    return text.simplified().toStdString();
}

bool shows(const QString &text, const char *phrase)
{
    return collapsed(text).find(phrase) != std::string::npos;
}

RenderedMessage render(const char *file, const std::string &options = "-c pdf")
{
    return renderFidelityMessage(QString::fromUtf8(file), options);
}

RenderedMessage renderText(const char *message, const char *name)
{
    return renderMessage(QByteArray(message), QString::fromUtf8(name));
}

} // namespace

TEST(MimeFidelity, InlineImagesAreDrawnAfterTheirPartAndStayAttachments)
{
    const RenderedMessage listed = render("mime-inline-images.eml");
    ASSERT_TRUE(listed.converted) << listed.error.toStdString();
    EXPECT_TRUE(showsInOrder(listed.text, {"Holiday photos below, the lake first.", "Then the mountain hut."}))
        << listed.text.toStdString();
    // The two shown images; the one sent as an attachment is only listed.
    EXPECT_EQ(listed.images, (QList<QSize>{QSize(120, 80), QSize(60, 40)}));
    for (const char *name : {"lake.png", "hut.png", "receipt.png"})
        EXPECT_TRUE(listed.text.contains(QString::fromUtf8(name))) << name;

    const RenderedMessage saved = render("mime-inline-images.eml", "-c PDF -sattach");
    ASSERT_TRUE(saved.converted) << saved.error.toStdString();
    EXPECT_EQ(stdStrings(saved.filesBeside),
              (std::vector<std::string>{"mime-inline-images attachments", "mime-inline-images attachments/hut.png",
                                        "mime-inline-images attachments/lake.png",
                                        "mime-inline-images attachments/receipt.png"}));
    EXPECT_EQ(saved.images.size(), 2);
}

TEST(MimeFidelity, EncodedForwardedMessagesAreShownWithTheirHeadersBodiesAndImages)
{
    const RenderedMessage rendered = render("mime-forwarded-base64.eml", "-c PDF -attach");
    ASSERT_TRUE(rendered.converted) << rendered.error.toStdString();
    // Forwarded in base64, holding one forwarded in quoted-printable.
    EXPECT_TRUE(showsInOrder(rendered.text, {"See the forwarded mail.", "Forwarded message", "Eva Sand", "Site visit",
                                             "Notes from the site visit follow.", "Forwarded message", "Ola Nord",
                                             "Budget draft", "The budget draft is attached in spirit only."}))
        << rendered.text.toStdString();
    EXPECT_EQ(rendered.images, (QList<QSize>{QSize(90, 50)}));
    EXPECT_EQ(stdStrings(rendered.embeddedFiles), (std::vector<std::string>{"Site visit.eml"}));
}

TEST(MimeFidelity, ForwardedImageInvitationAndVowelledTextComeBackInOrderInOutlineFonts)
{
    // The text engine draws this page, and keeps each vowelled Arabic word whole, as Chromium did not.
    const RenderedMessage rendered = render("mime-forwarded-image-invitation.eml");
    ASSERT_TRUE(rendered.converted) << rendered.error.toStdString();
    EXPECT_TRUE(showsInOrder(rendered.text, {"See the forwarded invitation below.",
                                             "Forwarded message",
                                             "From:",
                                             "Eva Sand <eva@example.com>",
                                             "Subject:",
                                             "Supplier visit",
                                             "Attachments:",
                                             "gate.png",
                                             "The gate where we meet:",
                                             "مَرْحَبًا",
                                             "بِكُمْ",
                                             "فِي",
                                             "غَدًا",
                                             "Invitation: Supplier visit",
                                             "Start:",
                                             "Tuesday, 20 January 2026, 13:00 UTC",
                                             "Location:",
                                             "Main gate",
                                             "Organizer:",
                                             "Eva Sand <eva@example.com>",
                                             "Attendees:",
                                             "Mia Berg <mia@example.com> (required, accepted)",
                                             "Description:",
                                             "Bring safety shoes.",
                                             "See you there."}))
        << rendered.text.toStdString();
    EXPECT_EQ(rendered.images, (QList<QSize>{QSize(160, 90)}));
    EXPECT_FALSE(pdfHasType3Font(rendered.pdf)) << rendered.fonts.join(u'\n').toStdString();
    EXPECT_TRUE(rendered.warnings.empty());
}

TEST(MimeFidelity, ReportsAndInlineTextAreShownAsText)
{
    const RenderedMessage report = render("mime-reports.eml");
    ASSERT_TRUE(report.converted) << report.error.toStdString();
    EXPECT_TRUE(showsInOrder(report.text,
                             {"Your message could not be delivered.", "Final-Recipient: rfc822; nobody@example.org",
                              "Feedback-Type: abuse", "Subject: Quarterly figures"}))
        << report.text.toStdString();
    EXPECT_FALSE(shows(report.text, "attachment-")) << report.text.toStdString();

    const RenderedMessage minutes = render("mime-inline-text.eml", "-c PDF -sattach");
    ASSERT_TRUE(minutes.converted) << minutes.error.toStdString();
    // The last alternative a client can show; the inline text file shown and kept.
    EXPECT_TRUE(showsInOrder(minutes.text, {"Richversion wording.", "Minutes shown inline as clients do."}))
        << minutes.text.toStdString();
    EXPECT_FALSE(shows(minutes.text, "Plainversion"));
    EXPECT_EQ(stdStrings(minutes.filesBeside),
              (std::vector<std::string>{"mime-inline-text attachments", "mime-inline-text attachments/attachment-3.txt",
                                        "mime-inline-text attachments/invite.ics",
                                        "mime-inline-text attachments/minutes.txt"}));
}

TEST(MimeFidelity, BrokenHeaderBlocksLoseNoText)
{
    const RenderedMessage blankish = render("mime-broken-headers.eml");
    ASSERT_TRUE(blankish.converted) << blankish.error.toStdString();
    EXPECT_TRUE(showsInOrder(blankish.text, {"Broken header block", "This first paragraph used to vanish.",
                                             "Dear: nobody, this line looks like a header.", "Last paragraph."}))
        << blankish.text.toStdString();

    const RenderedMessage stray = renderText("\xEF\xBB\xBF"
                                             "From: Ann Lee <ann@example.com>\nSubject: Stray line\n"
                                             "this line is no header\nand the body goes on\n",
                                             "stray");
    ASSERT_TRUE(stray.converted) << stray.error.toStdString();
    EXPECT_TRUE(showsInOrder(stray.text, {"Ann Lee", "Stray line", "this line is no header and the body goes on"}))
        << stray.text.toStdString();

    const RenderedMessage badType = renderText("From: ann@example.com\nSubject: Bad type\nContent-Type: text plain\n\n"
                                               "Readable after all.\n",
                                               "bad-type");
    ASSERT_TRUE(badType.converted) << badType.error.toStdString();
    EXPECT_TRUE(shows(badType.text, "Readable after all.")) << badType.text.toStdString();
    EXPECT_FALSE(shows(badType.text, ".bin"));
}

TEST(MimeFidelity, CharsetsTheMessageDeclaresReachThePage)
{
    const RenderedMessage rendered = render("mime-charsets.eml");
    ASSERT_TRUE(rendered.converted) << rendered.error.toStdString();
    // Raw GB2312 header bytes, a comment kept as the name, a name without an address, and a
    // body in EUC-JP labelled ISO-2022-JP.
    for (const char *expected : {"李展锋", "会议通知", "运维", "Team", "明天开会", "日本語の資料"})
        EXPECT_TRUE(shows(rendered.text, expected)) << expected << "\n" << collapsed(rendered.text);
    EXPECT_EQ(pdfInfo(rendered.pdf, QStringLiteral("Title")).toStdString(), "会议通知");
    ASSERT_EQ(rendered.warnings.size(), 1u);
    EXPECT_NE(rendered.warnings[0].find("euc-jp"), std::string::npos);
}
