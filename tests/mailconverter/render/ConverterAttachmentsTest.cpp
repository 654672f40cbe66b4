// The converter's three attachment options end to end: what a reader finds in and beside the PDF.
#include "mailconverter/render/PdfMailConverter.h"

#include "mailconverter/render/MessageScheme.h"
#include "support/TextHelpers.h"
#include "tests/mailconverter/attachments/AttachmentTestFiles.h"
#include "tests/mailconverter/render/PdfProbe.h"

#include <QGuiApplication>

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <set>

using namespace tessaly;
using namespace tessaly::testing;

namespace {

std::string pdfText(const std::string &pdf)
{
    return tessaly::test::pdfText(tessaly::test::readWholeFile(QString::fromStdString(pdf))).toStdString();
}

class ConverterAttachments : public ::testing::Test
{
protected:
    static PdfMailConverter &converter() { return tessaly::test::sharedPdfMailConverter(); }

    std::string convert(const std::string &text, const std::string &pdfName, std::string_view options)
    {
        writeWholeFile(m_scratch.file("email-1.eml"), text);
        Result<ConvertedMessage> converted =
            converter().Convert(m_scratch.file("email-1.eml"), m_scratch.file(pdfName), std::string(options));
        EXPECT_TRUE(converted) << (converted ? "" : converted.error().message);
        std::filesystem::remove(m_scratch.file("email-1.eml"));
        if (!converted)
            return {};
        m_warnings = converted.value().warnings;
        m_written = converted.value().attachmentsSaved + converted.value().attachmentsEmbedded;
        return converted.value().writtenPath;
    }

    TempFolder m_scratch;
    std::vector<std::string> m_warnings;
    int m_written = 0; ///< attachments saved or embedded, as the index counts them
    std::string m_tenMegabytes = randomBytes(10 * 1024 * 1024);
    std::vector<TestPart> m_files = {
        {"text/plain", attachmentNamed("empty.txt"), ""},
        {"application/zip", attachmentNamed("big.zip"), m_tenMegabytes},
        {"text/plain", attachmentNamed("%C3%BCbersicht%20%E2%82%AC.txt"), "Übersicht\n"},
        {"text/plain", attachmentNamed("%E6%97%A5%E6%9C%AC%20%E3%83%AC%E3%83%9D%E3%83%BC%E3%83%88.txt"), "日本\n"},
        {"text/plain", attachmentNamed("..%2F..%2Fx"), "escaped?"},
        {"text/plain", attachmentNamed("X"), "duplicate"},
    };
    std::map<std::string, std::string> m_expected = {
        {"empty.txt", ""},
        {"big.zip", m_tenMegabytes},
        {"übersicht €.txt", "Übersicht\n"},
        {"日本 レポート.txt", "日本\n"},
        {"x", "escaped?"},
        {"X (2)", "duplicate"},
    };
};

} // namespace

TEST_F(ConverterAttachments, EmbeddedFilesComeBackFromPdfdetach)
{
    const std::string pdf =
        convert(mimeMessage("text/plain", "See the files.", m_files), "Hello.pdf", kConvertEmbedAttachments);
    ASSERT_FALSE(pdf.empty());
    EXPECT_EQ(filesIn(m_scratch.path()).size(), 1u); // nothing beside the PDF

    EXPECT_TRUE(detachAll(pdf, m_scratch.file("detached")) == m_expected);
    EXPECT_EQ(m_written, static_cast<int>(m_expected.size())) << "embedded attachments are written ones too";

    const std::string text = pdfText(pdf);
    EXPECT_NE(text.find("übersicht €.txt"), std::string::npos) << text;
    EXPECT_NE(text.find("レポート.txt"), std::string::npos) << text;
    // The file stays as large as its content: the ZIP was not deflated again.
    EXPECT_LT(std::filesystem::file_size(pdf), m_tenMegabytes.size() + 200 * 1024);
}

TEST_F(ConverterAttachments, FolderFollowsTheFinalPdfNameAndLinksReachTheFiles)
{
    writeWholeFile(m_scratch.file("Hello 05-03-2021.pdf"), "an earlier PDF, never overwritten");
    for (const std::string bodyType : {"text/plain", "text/html"}) {
        const std::string body = bodyType == "text/html" ? "<p>See the <b>files</b>.</p>" : "See the files.";
        const std::string pdf =
            convert(mimeMessage(bodyType, body, m_files), "Hello 05-03-2021.pdf", kConvertAttachmentFolder);
        ASSERT_FALSE(pdf.empty());
        const std::string folder = pdf.substr(0, pdf.size() - 4) + " attachments";
        EXPECT_TRUE(filesIn(folder) == m_expected) << folder;

        // A link may be drawn in several pieces, each with its own annotation.
        const std::vector<std::string> pieces = tessaly::test::pdfLinkUris(pdf);
        const std::set<std::string> uris(pieces.begin(), pieces.end());
        EXPECT_EQ(uris.size(), m_expected.size()) << bodyType;
        for (const std::string &uri : uris) {
            EXPECT_FALSE(uri.find(':') != std::string::npos) << "not relative: " << uri;
            EXPECT_TRUE(std::filesystem::exists(m_scratch.file(percentDecode(uri)))) << uri;
        }
        EXPECT_TRUE(m_warnings.empty());
    }
    EXPECT_EQ(readWholeFile(m_scratch.file("Hello 05-03-2021.pdf")), "an earlier PDF, never overwritten");
    EXPECT_TRUE(std::filesystem::exists(m_scratch.file("Hello 05-03-2021 (2) attachments")));
    EXPECT_TRUE(std::filesystem::exists(m_scratch.file("Hello 05-03-2021 (3) attachments")));
}

TEST_F(ConverterAttachments, RegressionLongCjkAndEmojiNamesConvertTwiceInBothOptions)
{
    // The longest stem names allow (235 bytes) must leave room for " (2)" on the PDF and
    // " attachments" on its folder: once that passed 255 bytes, the second message failed.
    const std::vector<TestPart> files = {{"text/plain", attachmentNamed("a.txt"), "a"}};
    std::string cjk, emoji;
    for (int i = 0; i < 78; ++i)
        cjk += "日";
    for (int i = 0; i < 58; ++i)
        emoji += "😀";
    for (const std::string &stem : {cjk + "a", emoji + "abc"}) {
        ASSERT_EQ(stem.size(), 235u);
        for (std::string_view options : {kConvertAttachmentFolder, kConvertEmbedAttachments}) {
            for (int copy = 1; copy <= 2; ++copy) {
                const std::string pdf = convert(mimeMessage("text/plain", "x", files), stem + ".pdf", options);
                EXPECT_FALSE(pdf.empty()) << copy;
            }
        }
        EXPECT_TRUE(std::filesystem::exists(m_scratch.file(stem + " (2) attachments/a.txt")));
        EXPECT_TRUE(std::filesystem::exists(m_scratch.file(stem + " (4).pdf")));
    }
}

TEST_F(ConverterAttachments, RegressionAFailedAttachmentFolderLeavesNoPdf)
{
    // A folder planted as a symbolic link is refused; the message fails as one unit.
    std::filesystem::create_directory(m_scratch.file("elsewhere"));
    std::filesystem::create_directory_symlink(m_scratch.file("elsewhere"), m_scratch.file("Hello attachments"));
    writeWholeFile(m_scratch.file("email-1.eml"), mimeMessage("text/plain", "x", m_files));
    Result<ConvertedMessage> converted = converter().Convert(m_scratch.file("email-1.eml"), m_scratch.file("Hello.pdf"),
                                                             std::string(kConvertAttachmentFolder));
    ASSERT_FALSE(converted);
    EXPECT_NE(converted.error().message.find("symbolic link"), std::string::npos) << converted.error().message;
    EXPECT_TRUE(std::filesystem::is_empty(m_scratch.file("elsewhere")));
    std::set<std::string> left;
    for (const auto &entry : std::filesystem::directory_iterator(m_scratch.path()))
        left.insert(entry.path().filename().string());
    EXPECT_EQ(left, (std::set<std::string>{"Hello attachments", "elsewhere", "email-1.eml"}));
}

TEST_F(ConverterAttachments, PdfOnlyListsNamesAndSizesAndWritesNothingElse)
{
    const std::string pdf = convert(mimeMessage("text/plain", "See the files.", m_files), "Hello.pdf", kConvertPdfOnly);
    ASSERT_FALSE(pdf.empty());
    EXPECT_EQ(filesIn(m_scratch.path()).size(), 1u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(m_scratch.path()), {}), 1);
    const std::string text = pdfText(pdf);
    EXPECT_NE(text.find("big.zip"), std::string::npos) << text;
    EXPECT_NE(text.find("10 MB"), std::string::npos) << text;
    EXPECT_TRUE(tessaly::test::pdfLinkUris(pdf).empty());
}

TEST_F(ConverterAttachments, UuencodedFileIsSavedAndLeavesTheText)
{
    const std::string text =
        "From: a@example.com\nSubject: uu\n\nHere it is:\nbegin 644 hi.txt\n%:&5L;&\\`\n`\nend\nBye\n";
    const std::string pdf = convert(text, "uu.pdf", kConvertAttachmentFolder);
    ASSERT_FALSE(pdf.empty());
    EXPECT_EQ(readWholeFile(m_scratch.file("uu attachments/hi.txt")), "hello");
    const std::string shown = pdfText(pdf);
    EXPECT_EQ(shown.find("begin 644"), std::string::npos) << shown;
    EXPECT_NE(shown.find("Bye"), std::string::npos) << shown;
}
