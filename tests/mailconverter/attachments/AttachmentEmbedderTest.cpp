// Embedding attachments with qpdf, checked by what pdfdetach gives back.
#include "mailconverter/attachments/AttachmentEmbedder.h"

#include "tests/mailconverter/attachments/AttachmentTestFiles.h"

#include <gtest/gtest.h>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFEmbeddedFileDocumentHelper.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>

using namespace tessaly;
using namespace tessaly::testing;

namespace {

void writeOnePagePdf(const std::string &path)
{
    QPDF pdf;
    pdf.emptyPDF();
    QPDFObjectHandle page =
        pdf.makeIndirectObject(QPDFObjectHandle::parse("<< /Type /Page /MediaBox [0 0 595 842] >>"));
    QPDFPageDocumentHelper(pdf).addPage(QPDFPageObjectHelper(page), false);
    QPDFWriter writer(pdf, path.c_str());
    writer.write();
}

} // namespace

TEST(AttachmentEmbedder, PdfdetachGivesBackEveryFileByteForByte)
{
    TempFolder scratch;
    writeOnePagePdf(scratch.file("in.pdf"));

    const std::string tenMegabytes = randomBytes(10 * 1024 * 1024);
    std::string text;
    while (text.size() < 300000)
        text += "The quick brown fox jumps over the lazy dog. ";
    const std::string everyByte = [] {
        std::string bytes;
        for (int b = 0; b < 256; ++b)
            bytes.push_back(static_cast<char>(b));
        return bytes;
    }();
    const std::vector<AttachmentFile> files = {
        {"empty.txt", "text/plain", ""},
        {"photo.jpg", "image/jpeg", tenMegabytes},
        {"übersicht €.txt", "text/plain", text},
        {"日本 レポート.txt", "text/plain", everyByte},
    };
    Result<void> embedded =
        embedAttachmentsInFile(scratch.file("in.pdf"), scratch.file("out.pdf"), files, "D:20210305140700+01'00'");
    ASSERT_TRUE(embedded) << embedded.error().message;

    const std::map<std::string, std::string> detached = detachAll(scratch.file("out.pdf"), scratch.file("detached"));
    ASSERT_EQ(detached.size(), files.size());
    for (const AttachmentFile &file : files) {
        ASSERT_TRUE(detached.contains(file.fileName)) << file.fileName;
        EXPECT_TRUE(detached.at(file.fileName) == file.bytes) << file.fileName;
    }

    QPDF pdf;
    pdf.processFile(scratch.file("out.pdf").c_str());
    EXPECT_GE(pdf.getPDFVersion(), "1.7");
    QPDFEmbeddedFileDocumentHelper tree(pdf);
    auto photo = tree.getEmbeddedFile("photo.jpg");
    ASSERT_TRUE(photo);
    // Random bytes don't shrink, so they are stored as they are; text is compressed.
    EXPECT_TRUE(photo->getEmbeddedFileStream().getDict().getKey("/Filter").isNull());
    EXPECT_EQ(photo->getEmbeddedFileStream().getDict().getKey("/Length").getIntValue(),
              static_cast<long long>(tenMegabytes.size()));
    EXPECT_EQ(QPDFEFStreamObjectHelper(photo->getEmbeddedFileStream()).getSubtype(), "image/jpeg");
    auto summary = tree.getEmbeddedFile("übersicht €.txt");
    ASSERT_TRUE(summary);
    EXPECT_TRUE(summary->getEmbeddedFileStream().getDict().getKey("/Filter").isName());
    EXPECT_EQ(summary->getFilename(), "übersicht €.txt");
    EXPECT_EQ(summary->getObjectHandle().getKey("/F").getStringValue(), "ubersicht _.txt");
    EXPECT_EQ(QPDFEFStreamObjectHelper(summary->getEmbeddedFileStream()).getSize(), text.size());
    EXPECT_EQ(QPDFEFStreamObjectHelper(summary->getEmbeddedFileStream()).getModDate(), "D:20210305140700+01'00'");
}

TEST(AttachmentEmbedder, ANameAlreadyInTheTreeIsNotReplaced)
{
    TempFolder scratch;
    writeOnePagePdf(scratch.file("in.pdf"));
    ASSERT_TRUE(
        embedAttachmentsInFile(scratch.file("in.pdf"), scratch.file("one.pdf"), {{"a.txt", "text/plain", "first"}}));
    ASSERT_TRUE(embedAttachmentsInFile(
        scratch.file("one.pdf"), scratch.file("two.pdf"),
        {{"a.txt", "text/plain", "second"}, {"日本.txt", "text/plain", "x"}, {"中国.txt", "text/plain", "y"}}));

    const std::map<std::string, std::string> detached = detachAll(scratch.file("two.pdf"), scratch.file("detached"));
    EXPECT_EQ(detached, (std::map<std::string, std::string>{
                            {"a.txt", "first"}, {"a (2).txt", "second"}, {"日本.txt", "x"}, {"中国.txt", "y"}}));

    QPDF pdf;
    pdf.processFile(scratch.file("two.pdf").c_str());
    QPDFEmbeddedFileDocumentHelper tree(pdf);
    EXPECT_NE(tree.getEmbeddedFile("日本.txt")->getObjectHandle().getKey("/F").getStringValue(),
              tree.getEmbeddedFile("中国.txt")->getObjectHandle().getKey("/F").getStringValue());
}

TEST(AttachmentEmbedder, AnUnreadablePdfIsAnErrorNotAnException)
{
    TempFolder scratch;
    writeWholeFile(scratch.file("broken.pdf"), "not a pdf at all");
    Result<void> embedded =
        embedAttachmentsInFile(scratch.file("broken.pdf"), scratch.file("out.pdf"), {{"a.txt", "text/plain", "x"}});
    ASSERT_FALSE(embedded);
    EXPECT_NE(embedded.error().message.find("broken.pdf"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(scratch.file("out.pdf")));
}
