// The attachment step on parsed messages: names, forwarded messages, winmail.dat, links.
#include "mailconverter/attachments/MessageAttachments.h"

#include "tests/mailconverter/attachments/AttachmentTestFiles.h"
#include "tests/mailconverter/readers/TnefTestWriter.h"

#include <gtest/gtest.h>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>

using namespace tessaly;
using namespace tessaly::testing;

namespace {

MailMessage parsed(const std::string &raw)
{
    Result<MailMessage> message = parseMailMessage(raw);
    EXPECT_TRUE(message) << message.error().message;
    return message ? message.value() : MailMessage{};
}

std::vector<std::string> namesOf(const MessageAttachments &attachments)
{
    std::vector<std::string> names;
    for (const AttachmentFile &file : attachments.files())
        names.push_back(file.fileName);
    return names;
}

} // namespace

TEST(MessageAttachments, ListOnlyGivesSafeUniqueNamesAndSizesAndWritesNothing)
{
    TempFolder scratch;
    const MailMessage message =
        parsed(mimeMessage("text/plain", "Hi",
                           {
                               {"text/plain", attachmentNamed("..%2F..%2Fx"), "x"},
                               {"text/plain", attachmentNamed("%2Fetc%2Fpasswd"), "root"},
                               {"application/x-msdownload", attachmentNamed("C%3A%5CWindows%5Cevil.exe"), "MZ"},
                               {"text/plain", attachmentNamed("CON.txt"), "con"},
                               {"text/plain", attachmentNamed("NOTES.txt"), "one"},
                               {"text/plain", attachmentNamed("notes.TXT"), "two"},
                               {"image/png", "attachment", "\x89PNG"},
                           }));
    MessageAttachments attachments;
    Result<std::vector<AttachmentListing>> listings =
        attachments.prepare(message, AttachmentMode::ListOnly, planCommit(fileAt(scratch.file("m.pdf")).value()));
    ASSERT_TRUE(listings);
    EXPECT_EQ(namesOf(attachments), (std::vector<std::string>{"x", "passwd", "evil.exe", "_CON.txt", "NOTES.txt",
                                                              "notes (2).TXT", "attachment-7.png"}));
    // The supervisor makes a worker's names safe again: names made here must come through unchanged.
    for (const std::string &name : namesOf(attachments))
        EXPECT_EQ(safeNameToSave(name, 1), name);
    for (std::size_t i = 0; i < listings.value().size(); ++i) {
        const AttachmentListing &listing = listings.value()[i];
        EXPECT_EQ(listing.displayName, attachments.files()[i].fileName);
        EXPECT_EQ(listing.size, attachments.files()[i].bytes.size());
        EXPECT_TRUE(listing.href.empty());
        EXPECT_FALSE(listing.embedded);
    }

    QPDF pdf;
    pdf.emptyPDF();
    std::string minimumVersion;
    ASSERT_TRUE(attachments.editPdf(pdf, minimumVersion));
    RenderedMessage rendered;
    attachments.addFilesToSave(rendered);
    EXPECT_TRUE(minimumVersion.empty());
    EXPECT_TRUE(rendered.attachments.empty());
}

TEST(MessageAttachments, ForwardedMessageIsSavedAsItsSubject)
{
    const std::string inner = "From: carl@example.com\nSubject: Re: Budget 2021/Q2\n\nInner text\n";
    const MailMessage message = parsed(mimeMessage("text/plain", "See below", {{"message/rfc822", "", inner}}));
    MessageAttachments attachments;
    ASSERT_TRUE(attachments.prepare(message, AttachmentMode::ListOnly, CommitPlan{"/x/m.pdf", {}}));
    EXPECT_EQ(namesOf(attachments), std::vector<std::string>{"Re_ Budget 2021_Q2.eml"});
    EXPECT_NE(std::string(attachments.files()[0].bytes).find("Inner text"), std::string::npos);
}

TEST(MessageAttachments, WinmailDatIsUnpackedOrKept)
{
    TnefWriter tnef;
    tnef.addFile("REPORT~1.PDF", "%PDF-1.4 report", u"Quarterly report.pdf");
    tnef.addFile("photo.jpg", randomBytes(1000));
    std::string corrupt = tnef.bytes();
    corrupt[corrupt.size() - 1] ^= 0x55;

    const MailMessage readableMessage =
        parsed(mimeMessage("text/plain", "x", {{"application/ms-tnef", attachmentNamed("winmail.dat"), tnef.bytes()}}));
    MessageAttachments readable;
    ASSERT_TRUE(readable.prepare(readableMessage, AttachmentMode::ListOnly, CommitPlan{"/x/m.pdf", {}}));
    EXPECT_EQ(namesOf(readable), (std::vector<std::string>{"Quarterly report.pdf", "photo.jpg"}));
    EXPECT_EQ(readable.files()[0].bytes, "%PDF-1.4 report");
    EXPECT_EQ(readable.files()[1].mimeType, "image/jpeg");

    const MailMessage corruptMessage =
        parsed(mimeMessage("text/plain", "x", {{"application/ms-tnef", attachmentNamed("winmail.dat"), corrupt}}));
    MessageAttachments unreadable;
    ASSERT_TRUE(unreadable.prepare(corruptMessage, AttachmentMode::ListOnly, CommitPlan{"/x/m.pdf", {}}));
    EXPECT_EQ(namesOf(unreadable), std::vector<std::string>{"winmail.dat"});
    EXPECT_TRUE(unreadable.files()[0].bytes == corrupt);
}

TEST(MessageAttachments, LinksResolvedByTheRendererBecomeRelativeAgain)
{
    QPDF pdf;
    pdf.emptyPDF();
    QPDFPageDocumentHelper(pdf).addPage(
        QPDFPageObjectHelper(pdf.makeIndirectObject(QPDFObjectHandle::parse(
            "<< /Type /Page /MediaBox [0 0 595 842] /Annots [<< /Type /Annot /Subtype /Link /Rect [0 0 9 9]"
            " /A << /S /URI /URI (tessaly://message/7/m%20attachments/a.txt) >> >> << /Type /Annot /Subtype /Link"
            " /Rect [0 0 9 9] /A << /S /URI /URI (https://example.com/a.txt) >> >>] >>"))),
        false);
    ASSERT_TRUE(restoreRelativeLinks(pdf, {"m%20attachments/a.txt"}));
    QPDFObjectHandle page = pdf.getAllPages().at(0);
    QPDFObjectHandle annotations = page.getKey("/Annots");
    EXPECT_EQ(annotations.getArrayItem(0).getKey("/A").getKey("/URI").getStringValue(), "m%20attachments/a.txt");
    EXPECT_EQ(annotations.getArrayItem(1).getKey("/A").getKey("/URI").getStringValue(), "https://example.com/a.txt");
}

TEST(MessageAttachments, FolderFilesAreHandedToTheCommitUnderTheirPlannedNames)
{
    TempFolder scratch;
    std::filesystem::create_directory(scratch.file("m attachments"));
    writeWholeFile(scratch.file("m attachments/A.TXT"), "older");
    const MailMessage message = parsed(mimeMessage("text/plain", "x", {{"text/plain", attachmentNamed("a.txt"), "a"}}));
    MessageAttachments attachments;
    ASSERT_TRUE(
        attachments.prepare(message, AttachmentMode::Folder, planCommit(fileAt(scratch.file("m.pdf")).value())));
    RenderedMessage rendered;
    attachments.addFilesToSave(rendered);
    ASSERT_EQ(rendered.attachments.size(), 1u);
    EXPECT_EQ(rendered.attachments[0].name, "a (2).txt");
    EXPECT_EQ(rendered.attachments[0].bytes.read().value(), "a");
}
