// What a reader of the PDF sees of mail that clients read past its flaws: header blocks after a
// blank line, Reply-To and Bcc, empty alternatives, legacy charsets and attached messages.
#include "tests/fidelity/FidelityHarness.h"

#include <gtest/gtest.h>

#include <string>

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
