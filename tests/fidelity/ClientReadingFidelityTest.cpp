// What a reader of the PDF sees of mail that clients read past its flaws: header blocks after a
// blank line, Reply-To and Bcc, empty alternatives, legacy charsets and attached messages.
#include "tests/fidelity/FidelityHarness.h"
#include "tests/mailconverter/render/PdfProbe.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace tessaly::test;

namespace {

std::string collapsed(const QString &text)
{
    return text.simplified().toStdString();
}

// The layout text's line that starts with `label`, blanks collapsed; "" when none does.
std::string headerLine(const QString &layoutText, const QString &label)
{
    for (const QString &line : layoutText.split(QLatin1Char('\n'))) {
        if (line.trimmed().startsWith(label))
            return line.simplified().toStdString();
    }
    return {};
}

} // namespace

TEST(ClientReadingFidelity, HeaderBlockShowsReplyToAndBccAndHeadersAfterABlankFirstLine)
{
    struct Case
    {
        const char *file;
        std::vector<std::pair<QString, std::string>> rows; ///< label, whole line; "" for no such row
        const char *body;
    };
    const Case cases[] = {
        {"header-reply-to.eml",
         {{QStringLiteral("From:"), "From: Bank Support <support@bank.example>"},
          {QStringLiteral("Reply-To:"), "Reply-To: Bank Support <collect@elsewhere.example>"},
          {QStringLiteral("Bcc:"), "Bcc: Audit <audit@example.com>"}},
         "Please answer this mail with your password."},
        // Reply-To the sender's own address is no news: no row.
        {"header-blank-first-line.eml",
         {{QStringLiteral("From:"), "From: Mia Berg <mia@example.com>"},
          {QStringLiteral("Subject:"), "Subject: Headers after a blank first line"},
          {QStringLiteral("Reply-To:"), ""},
          {QStringLiteral("Bcc:"), ""}},
         "The body after the headers. Subject: not a header, a line of the body"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.file);
        const RenderedMessage rendered = renderFidelityMessage(QString::fromUtf8(c.file));
        ASSERT_TRUE(rendered.converted) << rendered.error.toStdString();
        for (const auto &[label, line] : c.rows)
            EXPECT_EQ(headerLine(rendered.layoutText, label), line) << rendered.layoutText.toStdString();
        EXPECT_NE(collapsed(rendered.text).find(c.body), std::string::npos) << collapsed(rendered.text);
    }
}

TEST(ClientReadingFidelity, EmptyPreferredAlternativeGivesWayToTheText)
{
    const RenderedMessage rendered = renderFidelityMessage(QStringLiteral("mime-empty-alternative.eml"));
    ASSERT_TRUE(rendered.converted) << rendered.error.toStdString();
    EXPECT_NE(collapsed(rendered.text).find("The text alternative carries the whole message."), std::string::npos)
        << collapsed(rendered.text);
}

TEST(ClientReadingFidelity, CharsetsAreReadAsTheirWindowsSupersetsAndBadBytesAreMarked)
{
    struct Case
    {
        const char *file;
        std::vector<const char *> shown;
        const char *title;
        std::vector<std::string> warnings;
    };
    const Case cases[] = {
        // Outlook's ISO-2022-JP: NEC row 13 in the subject's encoded word and in the body.
        {"charset-iso2022jp-windows.eml",
         {"会議①の件 №5", "株式会社の皆様", "会議は①番の部屋で行います。№3の資料をご覧ください。㈱山田商事"},
         "会議①の件 №5",
         {}},
        // Each label read without a word about it, except the bytes that are no EUC-KR at all.
        {"charset-windows-supersets.eml",
         {"Shift_JIS as CP932: ①②③ ㈱ ⅰ", "gb2312 as GBK: 镕 堃", "ks_c_5601-1987 as CP949: 똠 햏",
          "Broken EUC-KR: 한국\uFFFD\uFFFD 끝"},
         "Labels read as clients read them",
         {"a body labelled 'euc-kr' has 2 places that do not decode in it, shown as U+FFFD"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.file);
        const RenderedMessage rendered = renderFidelityMessage(QString::fromUtf8(c.file));
        ASSERT_TRUE(rendered.converted) << rendered.error.toStdString();
        for (const char *text : c.shown)
            EXPECT_NE(collapsed(rendered.text).find(text), std::string::npos) << text << "\n"
                                                                              << collapsed(rendered.text);
        EXPECT_FALSE(rendered.text.contains(QLatin1Char('\x1b'))) << collapsed(rendered.text);
        EXPECT_EQ(pdfInfo(rendered.pdf, QStringLiteral("Title")).toStdString(), c.title);
        EXPECT_EQ(rendered.warnings, c.warnings);
    }
}
