// A page flood (a tiny message that lays out to thousands of pages) ends at the page budget,
// with the notice on its last page and its whole text where the attachments go; the header
// block of a field too long to read whole goes there too.
#include "mailconverter/render/PdfMailConverter.h"

#include "mailconverter/mime/BoundedHeaderBlock.h"

#include "tests/mailconverter/attachments/AttachmentTestFiles.h"
#include "tests/mailconverter/render/PdfProbe.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

using namespace tessaly;
using namespace tessaly::testing;

namespace {

constexpr int kSmallBudget = 5;

std::string message(const std::string &contentType, const std::string &body)
{
    return "From: Ann <ann@example.com>\nTo: bob@example.com\nSubject: Flood\n"
           "Date: Fri, 05 Mar 2021 14:07:00 +0100\nMIME-Version: 1.0\nContent-Type: " +
           contentType + "; charset=utf-8\n\n" + body;
}

std::string numberedLines(int count)
{
    std::string text;
    for (int line = 1; line <= count; ++line)
        text += "line " + std::to_string(line) + "\n";
    return text;
}

/// The shared converter with a small budget for one test, and the default again after it.
class PageBudgetTest : public ::testing::Test
{
protected:
    PageBudgetTest() { converter().setMessagePages(kSmallBudget); }
    ~PageBudgetTest() override { converter().setMessagePages(kDefaultMessagePages); }

    static PdfMailConverter &converter() { return tessaly::test::sharedPdfMailConverter(); }

    Result<ConvertedMessage> convert(const std::string &text, std::string_view options)
    {
        writeWholeFile(m_scratch.file("email-1.eml"), text);
        return converter().Convert(m_scratch.file("email-1.eml"), m_scratch.file("Flood.pdf"), std::string(options));
    }

    TempFolder m_scratch;
};

} // namespace

TEST_F(PageBudgetTest, PageFloodsEndAtTheBudgetWithTheNoticeAndTheWholeTextKept)
{
    struct Row
    {
        const char *flood;
        std::string text;
        std::string_view options;
        const char *wholeFile; ///< "" when the message file is kept instead
        std::string wholeEnd;  ///< the end of the whole text, which the pages do not show
    };
    // 761 bytes that Chromium lays out to 37,000 pages; lines the text engine draws over 50 pages.
    const std::string tallDiv = "<div style=\"height:50000000px\">top</div><p>under the tall div</p>\n";
    const std::string lines = numberedLines(3000);
    const Row rows[] = {
        {"tall div, embedded", message("text/html", tallDiv), kConvertEmbedAttachments, "message body.html",
         "under the tall div"},
        {"tall div, folder", message("text/html", tallDiv), kConvertAttachmentFolder, "message body.html",
         "under the tall div"},
        {"tall div, list only", message("text/html", tallDiv), kConvertPdfOnly, "", ""},
        {"plain lines, embedded", message("text/plain", lines), kConvertEmbedAttachments, "message body.txt",
         "line 3000"},
        {"plain lines, folder", message("text/plain", lines), kConvertAttachmentFolder, "message body.txt",
         "line 3000"},
        {"plain lines, list only", message("text/plain", lines), kConvertPdfOnly, "", ""},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.flood);
        const Result<ConvertedMessage> converted = convert(row.text, row.options);
        ASSERT_TRUE(converted) << converted.error().message;
        const QByteArray pdf = tessaly::test::readWholeFile(QString::fromStdString(converted.value().writtenPath));
        ASSERT_EQ(tessaly::test::pdfPageCount(pdf), kSmallBudget);
        const std::string lastPage = tessaly::test::pdfPageText(pdf, kSmallBudget).simplified().toStdString();
        const std::string notice = std::string("Cut at 5 pages: the whole text is in ") +
                                   (*row.wholeFile ? "the attached file" : "the message file kept beside this PDF");
        EXPECT_TRUE(lastPage.ends_with(notice)) << lastPage;
        ASSERT_EQ(converted.value().warnings.size(), 1u);
        EXPECT_TRUE(converted.value().warnings[0].starts_with("the message was cut at 5 pages"))
            << converted.value().warnings[0];

        EXPECT_EQ(converted.value().keepMessageFile, *row.wholeFile == '\0');
        if (row.options == kConvertEmbedAttachments) {
            const auto detached = detachAll(converted.value().writtenPath, m_scratch.file("detached"));
            ASSERT_EQ(detached.count(row.wholeFile), 1u);
            EXPECT_NE(detached.at(row.wholeFile).find(row.wholeEnd), std::string::npos);
        } else if (row.options == kConvertAttachmentFolder) {
            const std::string saved = readWholeFile(m_scratch.file("Flood attachments") + "/" + row.wholeFile);
            EXPECT_NE(saved.find(row.wholeEnd), std::string::npos);
        }
        std::filesystem::remove_all(m_scratch.root());
        std::filesystem::create_directory(m_scratch.root());
    }
}

TEST_F(PageBudgetTest, AMessageWithinTheBudgetIsNeitherCutNorKept)
{
    for (const std::string &text : {message("text/plain", numberedLines(100)),
                                    message("text/html", "<div style=\"height:2000px\">tall</div>\n")}) {
        const Result<ConvertedMessage> converted = convert(text, kConvertPdfOnly);
        ASSERT_TRUE(converted) << converted.error().message;
        const QByteArray pdf = tessaly::test::readWholeFile(QString::fromStdString(converted.value().writtenPath));
        EXPECT_LT(tessaly::test::pdfPageCount(pdf), kSmallBudget);
        EXPECT_FALSE(tessaly::test::pdfText(pdf).contains(QStringLiteral("Cut at")));
        EXPECT_TRUE(converted.value().warnings.empty());
        EXPECT_FALSE(converted.value().keepMessageFile);
        std::filesystem::remove(converted.value().writtenPath);
    }
}

TEST_F(PageBudgetTest, AFieldTooLongToReadKeepsItsWholeHeaderBlockWhereAWholeTextGoes)
{
    const std::string block = "From: Ann <ann@example.com>\nSubject: " + std::string(kMaxHeaderFieldBytes, 's') + "\n";
    for (const std::string_view options : {kConvertEmbedAttachments, kConvertAttachmentFolder, kConvertPdfOnly}) {
        SCOPED_TRACE(options);
        const Result<ConvertedMessage> converted = convert(block + "\nBody.\n", options);
        ASSERT_TRUE(converted) << converted.error().message;
        const QByteArray pdf = tessaly::test::readWholeFile(QString::fromStdString(converted.value().writtenPath));
        const QString page = tessaly::test::pdfPageText(pdf, 1).simplified();
        EXPECT_TRUE(page.contains(QRegularExpression(QStringLiteral("s \\[… cut: [\\d.]+ MB in all\\] Body\\.$"))))
            << page.right(80).toStdString();
        ASSERT_EQ(converted.value().warnings.size(), 1u);
        const std::string &warning = converted.value().warnings[0];
        EXPECT_TRUE(warning.starts_with("the header field 'Subject' (1 MB) was read only to 1 MB; the whole header "
                                        "block is "))
            << warning;
        EXPECT_EQ(converted.value().keepMessageFile, options == kConvertPdfOnly) << warning;
        if (options == kConvertEmbedAttachments) {
            EXPECT_EQ(detachAll(converted.value().writtenPath, m_scratch.file("detached"))["message headers.txt"],
                      block);
        } else if (options == kConvertAttachmentFolder) {
            EXPECT_EQ(readWholeFile(m_scratch.file("Flood attachments") + "/message headers.txt"), block);
        }
        std::filesystem::remove_all(m_scratch.root());
        std::filesystem::create_directory(m_scratch.root());
    }
}
