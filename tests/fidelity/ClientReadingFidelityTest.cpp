// What a reader of the PDF sees of mail that clients read past its flaws: header blocks after a
// blank line, Reply-To and Bcc, empty alternatives, legacy charsets and attached messages.
#include "tests/fidelity/AttachedParts.h"
#include "tests/fidelity/FidelityHarness.h"
#include "tests/mailconverter/render/PdfProbe.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>

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

namespace {

std::vector<std::string> detachedFiles(const QByteArray &pdf)
{
    QTemporaryDir folder;
    QFile file(folder.filePath(QStringLiteral("m.pdf")));
    if (!file.open(QIODevice::WriteOnly) || file.write(pdf) != pdf.size())
        return {};
    file.close();
    QDir(folder.path()).mkdir(QStringLiteral("files"));
    QProcess::execute(QStringLiteral("pdfdetach"), {QStringLiteral("-saveall"), QStringLiteral("-o"),
                                                    folder.filePath(QStringLiteral("files")), file.fileName()});
    std::vector<std::string> files;
    for (const QFileInfo &entry : QDir(folder.filePath(QStringLiteral("files"))).entryInfoList(QDir::Files))
        files.push_back(readWholeFile(entry.filePath()).toStdString());
    return files;
}

QByteArray everyByteValueBase64()
{
    QByteArray bytes;
    for (int i = 0; i < 256; ++i)
        bytes.append(static_cast<char>(i));
    QByteArray lines;
    const QByteArray encoded = bytes.toBase64();
    for (qsizetype at = 0; at < encoded.size(); at += 76)
        lines += encoded.mid(at, 76) + "\n";
    return lines;
}

// Messages whose attached parts take the shapes real mail gives them, with LF and CR LF line ends.
std::vector<std::pair<QString, QByteArray>> generatedMessages()
{
    const QByteArray parts[] = {
        "Content-Type: application/octet-stream; name=\"bytes.bin\"\nContent-Transfer-Encoding: base64\n"
        "Content-Disposition: attachment; filename=\"bytes.bin\"\n\n" +
            everyByteValueBase64(),
        "Content-Type: text/plain; charset=iso-8859-1; name=\"notes.txt\"\nContent-Transfer-Encoding: "
        "quoted-printable\nContent-Disposition: attachment; filename=\"notes.txt\"\n\ncaf=E9 and a soft=\n break\n",
        "Content-Type: text/csv; name=\"table.csv\"\nContent-Disposition: attachment\n\na,b\n1,2\n\n\n",
        "Content-Type: application/pdf; name=\"empty.pdf\"\nContent-Disposition: attachment\n\n",
        "Content-Type: message/rfc822\n\nFrom: x@example.com\nSubject: Plain forward\n\nForwarded text.\n",
        "Content-Type: message/rfc822; name=\"notes.eml\"\n\nno header, only words\n\nand a second paragraph\n",
        "Content-Type: message/rfc822\nContent-Disposition: attachment; filename=\"b64.eml\"\n"
        "Content-Transfer-Encoding: base64\n\nU3ViamVjdDogSW4gYmFzZSA2NAoKYm9keQo=\n",
    };
    std::vector<std::pair<QString, QByteArray>> messages;
    int number = 0;
    for (const QByteArray &part : parts) {
        ++number;
        const QByteArray message = "From: Ann <ann@example.com>\nSubject: Shape " + QByteArray::number(number) +
                                   "\nMIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=\"s\"\n\n--s\n"
                                   "Content-Type: text/plain\n\nSee the attachment.\n--s\n" +
                                   part + "\n--s--\n";
        QByteArray crlf = message;
        crlf.replace("\n", "\r\n");
        messages.emplace_back(QStringLiteral("shape-%1").arg(number), message);
        messages.emplace_back(QStringLiteral("shape-%1-crlf").arg(number), crlf);
    }
    return messages;
}

} // namespace

TEST(ClientReadingFidelity, EveryAttachedPartComesBackByteForByteFromThePdf)
{
    const QDir folder(qEnvironmentVariable("TESSALY_FIDELITY_MESSAGES"));
    std::vector<std::pair<QString, QByteArray>> messages = generatedMessages();
    for (const QString &name : folder.entryList({QStringLiteral("*.eml")}, QDir::Files, QDir::Name))
        messages.emplace_back(QFileInfo(name).completeBaseName(), fidelityMessage(name));
    ASSERT_GT(messages.size(), 30u);
    std::size_t checked = 0;
    for (const auto &[name, message] : messages) {
        SCOPED_TRACE(name.toStdString());
        const std::vector<std::string> expected = attachedPartsOf(message.toStdString());
        if (expected.empty())
            continue;
        const RenderedMessage rendered = renderMessage(message, name, "-c PDF -attach");
        ASSERT_TRUE(rendered.converted) << rendered.error.toStdString();
        const std::vector<std::string> files = detachedFiles(rendered.pdf);
        for (const std::string &bytes : expected) {
            EXPECT_TRUE(std::find(files.begin(), files.end(), bytes) != files.end())
                << bytes.size() << " bytes starting \"" << bytes.substr(0, 40) << "\" not among " << files.size()
                << " files";
            ++checked;
        }
    }
    EXPECT_GE(checked, 20u);
}

TEST(ClientReadingFidelity, AttachedMessagesThatDoNotParseKeepTheirNames)
{
    const RenderedMessage rendered =
        renderFidelityMessage(QStringLiteral("mime-unparseable-attached-message.eml"), "-c PDF -sattach");
    ASSERT_TRUE(rendered.converted) << rendered.error.toStdString();
    EXPECT_EQ(rendered.filesBeside,
              (QStringList{QStringLiteral("mime-unparseable-attached-message attachments"),
                           QStringLiteral("mime-unparseable-attached-message attachments/Kept as it came.eml"),
                           QStringLiteral("mime-unparseable-attached-message attachments/broken.eml"),
                           QStringLiteral("mime-unparseable-attached-message attachments/short.eml")}));
    EXPECT_NE(collapsed(rendered.text).find("Inner text."), std::string::npos) << collapsed(rendered.text);
}
