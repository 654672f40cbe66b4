// Message PDFs from the real converter, bundled: their header blocks, bodies, web links and
// embedded attachments come through.
#include "mailconverter/bundle/QpdfBundleAssembler.h"

#include "mailconverter/render/PdfMailConverter.h"
#include "tests/mailconverter/attachments/AttachmentTestFiles.h"
#include "tests/mailconverter/render/PdfProbe.h"
#include "tests/TestSupport/TempFolder.h"

#include <QProcess>

#include <gtest/gtest.h>

using namespace tessaly;
using namespace tessaly::testing;

TEST(BundleOfConvertedMessages, KeepsHeaderBlocksBodiesWebLinksAndAttachments)
{
    TempFolder scratch;
    const std::string report = "report bytes \x01\x02\xff";
    const std::vector<std::string> messages = {
        mimeMessage("text/plain", "The plain body.", {{"text/plain", attachmentNamed("report.txt"), report}}),
        mimeMessage("text/html", "<p>The HTML body with <a href=\"https://example.org/page\">a link</a>.</p>", {}),
    };
    const FolderHandle folder = FolderHandle::open(scratch.path()).value();
    BundlePart part;
    part.title = "Converted";
    part.pageNumbers = true;
    part.bates = BatesNumbering{"T-", 1, 4};
    for (std::size_t i = 0; i < messages.size(); ++i) {
        const std::string eml = scratch.write("m" + std::to_string(i) + ".eml", messages[i]);
        const std::string pdf = "m" + std::to_string(i) + ".pdf";
        const Result<ConvertedMessage> converted = tessaly::test::sharedPdfMailConverter().Convert(
            eml, scratch.file(pdf), std::string(kConvertEmbedAttachments));
        ASSERT_TRUE(converted) << converted.error().message;
        BundleMessage message;
        message.number = int(i) + 1;
        message.from = "Ann <ann@example.com>";
        message.subject = "Hello";
        message.attachments = i == 0 ? 1 : 0;
        message.pdf = FileInFolder{folder, pdf};
        part.messages.push_back(message);
    }
    const Result<AssembledPart> assembled = QpdfBundleAssembler().assemble(part, {folder, "bundle.pdf"});
    ASSERT_TRUE(assembled) << assembled.error().message;

    const QString bundlePath = QString::fromStdString(scratch.file("bundle.pdf"));
    const QByteArray bundle = tessaly::test::readWholeFile(bundlePath);
    tessaly::test::keepRendering(bundle, QStringLiteral("bundle-of-converted"));
    const QString text = tessaly::test::pdfText(bundle);
    for (const char *expected : {"The plain body.", "The HTML body with a link", "ann@example.com", "T-0001", "T-0002"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(expected))) << expected << " in " << text.toStdString();

    const std::vector<std::string> uris = tessaly::test::pdfLinkUris(bundlePath.toStdString());
    EXPECT_NE(std::find(uris.begin(), uris.end(), "https://example.org/page"), uris.end());

    QProcess detach;
    detach.start(QStringLiteral("pdfdetach"), {QStringLiteral("-list"), bundlePath});
    detach.waitForFinished();
    EXPECT_TRUE(QString::fromUtf8(detach.readAllStandardOutput()).contains(QStringLiteral("1 - report.txt")));
    QProcess check;
    check.start(QStringLiteral("qpdf"), {QStringLiteral("--check"), bundlePath});
    check.waitForFinished();
    EXPECT_EQ(check.exitCode(), 0) << check.readAllStandardOutput().toStdString();
}
