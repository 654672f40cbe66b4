// The attachment step on whole messages: all three options, round trips, forwarded, TNEF, uuencode.
#include "MessageAttachments.h"

#include "AttachmentEmbedder.h"
#include "AttachmentTestFiles.h"
#include "TnefTestWriter.h"

#include <gtest/gtest.h>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <map>

using namespace tessaly;
using namespace tessaly::testing;

namespace {

std::string base64(const std::string &bytes)
{
    static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        unsigned value = static_cast<unsigned char>(bytes[i]) << 16;
        if (i + 1 < bytes.size())
            value |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        if (i + 2 < bytes.size())
            value |= static_cast<unsigned char>(bytes[i + 2]);
        out.push_back(kAlphabet[value >> 18]);
        out.push_back(kAlphabet[(value >> 12) & 63]);
        out.push_back(i + 1 < bytes.size() ? kAlphabet[(value >> 6) & 63] : '=');
        out.push_back(i + 2 < bytes.size() ? kAlphabet[value & 63] : '=');
        if (out.size() % 77 == 76)
            out.push_back('\n');
    }
    return out;
}

struct Part
{
    std::string contentType; ///< with parameters
    std::string disposition; ///< "" for none
    std::string bytes;
};

/// A multipart/mixed message with a plain-text body and `parts` in base64 (message parts as they are).
std::string mimeMessage(const std::string &body, const std::vector<Part> &parts)
{
    std::string out = "From: Ann <ann@example.com>\nTo: bob@example.com\nSubject: Files\n"
                      "Date: Fri, 05 Mar 2021 14:07:00 +0100\nMIME-Version: 1.0\n"
                      "Content-Type: multipart/mixed; boundary=\"b0undary\"\n\n"
                      "--b0undary\nContent-Type: text/plain; charset=utf-8\n\n" + body + "\n";
    for (const Part &part : parts) {
        out += "--b0undary\nContent-Type: " + part.contentType + "\n";
        if (!part.disposition.empty())
            out += "Content-Disposition: " + part.disposition + "\n";
        if (part.contentType.starts_with("message/rfc822"))
            out += "\n" + part.bytes + "\n";
        else
            out += "Content-Transfer-Encoding: base64\n\n" + base64(part.bytes) + "\n";
    }
    return out + "--b0undary--\n";
}

std::string attachment(const std::string &name)
{
    return "attachment; filename*=UTF-8''" + name;
}

MailMessage parsed(const std::string &raw)
{
    Result<MailMessage> message = parseMailMessage(raw);
    EXPECT_TRUE(message) << message.error().message;
    return message ? message.value() : MailMessage{};
}

std::map<std::string, std::string> filesIn(const std::string &folder)
{
    std::map<std::string, std::string> files;
    for (const auto &entry : std::filesystem::directory_iterator(folder))
        files[entry.path().filename().string()] = readWholeFile(entry.path());
    return files;
}

/// The parts every round trip carries, and the files they must come back as.
struct RoundTrip
{
    std::string tenMegabytes = randomBytes(10 * 1024 * 1024);
    std::vector<Part> parts = {
        {"application/octet-stream", attachment("empty.bin"), ""},
        {"application/zip", attachment("big.zip"), tenMegabytes},
        {"text/plain; charset=utf-8", attachment("%C3%BCbersicht%20%E2%82%AC.txt"), "Übersicht\n"},
        {"text/plain; charset=utf-8", attachment("%E6%97%A5%E6%9C%AC%20%E3%83%AC%E3%83%9D%E3%83%BC%E3%83%88.txt"), "日本\n"},
        {"text/plain", attachment("..%2F..%2Fx"), "x"},
        {"text/plain", attachment("%2Fetc%2Fpasswd"), "root"},
        {"application/x-msdownload", attachment("C%3A%5CWindows%5Cevil.exe"), "MZ"},
        {"text/plain", attachment("CON.txt"), "con"},
        {"text/plain", attachment("NOTES.txt"), "one"},
        {"text/plain", attachment("notes.TXT"), "two"},
        {"image/png", "attachment", "\x89PNG"},
    };
    std::map<std::string, std::string> expected = {
        {"empty.bin", ""},
        {"big.zip", tenMegabytes},
        {"übersicht €.txt", "Übersicht\n"},
        {"日本 レポート.txt", "日本\n"},
        {"x", "x"},
        {"passwd", "root"},
        {"evil.exe", "MZ"},
        {"_CON.txt", "con"},
        {"NOTES.txt", "one"},
        {"notes (2).TXT", "two"},
        {"attachment-11.png", "\x89PNG"},
    };
};

} // namespace

TEST(MessageAttachments, EmbeddedFilesComeBackByteForByte)
{
    ScratchFolder scratch;
    RoundTrip trip;
    const MailMessage message = parsed(mimeMessage("Hi", trip.parts));

    MessageAttachments attachments;
    Result<std::vector<AttachmentListing>> listings = attachments.prepare(message, AttachmentMode::Embed, scratch.file("m.pdf"));
    ASSERT_TRUE(listings);
    ASSERT_EQ(listings.value().size(), trip.expected.size());
    for (const AttachmentListing &listing : listings.value()) {
        EXPECT_TRUE(listing.embedded);
        EXPECT_TRUE(listing.href.empty());
        EXPECT_EQ(listing.size, trip.expected.at(listing.displayName).size()) << listing.displayName;
    }

    QPDF pdf;
    pdf.emptyPDF();
    QPDFPageDocumentHelper(pdf).addPage(
        QPDFPageObjectHelper(pdf.makeIndirectObject(QPDFObjectHandle::parse("<< /Type /Page /MediaBox [0 0 595 842] >>"))),
        false);
    std::string minimumVersion;
    ASSERT_TRUE(attachments.editPdf(pdf, minimumVersion));
    EXPECT_EQ(minimumVersion, "1.7");
    {
        const std::string pdfPath = scratch.file("m.pdf"); // the writer keeps the pointer
        QPDFWriter writer(pdf, pdfPath.c_str());
        prepareWriterForEmbeddedFiles(writer);
        writer.write();
    }
    std::filesystem::create_directory(scratch.file("detached"));
    const std::string command = "pdfdetach -saveall -o '" + scratch.file("detached") + "' '" + scratch.file("m.pdf") + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_TRUE(filesIn(scratch.file("detached")) == trip.expected);
}

TEST(MessageAttachments, FolderFilesComeBackByteForByteWithWorkingLinks)
{
    ScratchFolder scratch;
    RoundTrip trip;
    const MailMessage message = parsed(mimeMessage("Hi", trip.parts));
    // The PDF's name is taken, so it becomes "Hello 05-03-2021 (2).pdf" and the folder follows.
    writeWholeFile(scratch.file("Hello 05-03-2021.pdf"), "an earlier PDF");

    MessageAttachments attachments;
    Result<std::vector<AttachmentListing>> listings =
        attachments.prepare(message, AttachmentMode::Folder, scratch.file("Hello 05-03-2021.pdf"));
    ASSERT_TRUE(listings);
    // The renderer resolves the relative links against its page's address; they must be
    // relative again in the PDF, so that readers find the folder beside it.
    const std::string href = listings.value()[2].href;
    QPDF pdf;
    pdf.emptyPDF();
    QPDFPageDocumentHelper(pdf).addPage(
        QPDFPageObjectHelper(pdf.makeIndirectObject(QPDFObjectHandle::parse(
            "<< /Type /Page /MediaBox [0 0 595 842] /Annots [<< /Type /Annot /Subtype /Link /Rect [0 0 9 9]"
            " /A << /S /URI /URI (tessaly://message/7/" + href + ") >> >> << /Type /Annot /Subtype /Link"
            " /Rect [0 0 9 9] /A << /S /URI /URI (https://example.com/) >> >>] >>"))),
        false);
    std::string minimumVersion;
    ASSERT_TRUE(attachments.editPdf(pdf, minimumVersion));
    QPDFObjectHandle page = pdf.getAllPages().at(0);
    QPDFObjectHandle annotations = page.getKey("/Annots");
    EXPECT_EQ(annotations.getArrayItem(0).getKey("/A").getKey("/URI").getStringValue(), href);
    EXPECT_EQ(annotations.getArrayItem(1).getKey("/A").getKey("/URI").getStringValue(), "https://example.com/");

    std::vector<std::string> warnings;
    ASSERT_TRUE(attachments.afterCommit(scratch.file("Hello 05-03-2021 (2).pdf"), warnings));
    EXPECT_TRUE(warnings.empty());

    const std::string folder = scratch.file("Hello 05-03-2021 (2) attachments");
    EXPECT_TRUE(filesIn(folder) == trip.expected);
    EXPECT_FALSE(std::filesystem::exists(scratch.file("Hello 05-03-2021 attachments")));
    for (const AttachmentListing &listing : listings.value()) {
        EXPECT_FALSE(listing.embedded);
        EXPECT_EQ(percentDecode(listing.href), "Hello 05-03-2021 (2) attachments/" + listing.displayName);
    }
}

TEST(MessageAttachments, ListOnlyNamesAndSizesAndWritesNothing)
{
    ScratchFolder scratch;
    RoundTrip trip;
    MessageAttachments attachments;
    Result<std::vector<AttachmentListing>> listings =
        attachments.prepare(parsed(mimeMessage("Hi", trip.parts)), AttachmentMode::ListOnly, scratch.file("m.pdf"));
    ASSERT_TRUE(listings);
    std::map<std::string, std::string> listed;
    for (const AttachmentListing &listing : listings.value()) {
        EXPECT_FALSE(listing.embedded);
        EXPECT_TRUE(listing.href.empty());
        listed[listing.displayName] = std::string(listing.size, '?');
    }
    EXPECT_EQ(listed.size(), trip.expected.size());
    EXPECT_EQ(listed.at("big.zip").size(), trip.tenMegabytes.size());

    std::vector<std::string> warnings;
    ASSERT_TRUE(attachments.afterCommit(scratch.file("m.pdf"), warnings));
    EXPECT_TRUE(std::filesystem::is_empty(scratch.path()));
}

TEST(MessageAttachments, ForwardedMessageIsSavedAsItsSubject)
{
    const std::string inner = "From: carl@example.com\nSubject: Re: Budget 2021/Q2\n\nInner text\n";
    const MailMessage message = parsed(mimeMessage("See below", {{"message/rfc822", "", inner}}));
    MessageAttachments attachments;
    Result<std::vector<AttachmentListing>> listings = attachments.prepare(message, AttachmentMode::ListOnly, "/x/m.pdf");
    ASSERT_TRUE(listings);
    ASSERT_EQ(attachments.files().size(), 1u);
    EXPECT_EQ(attachments.files()[0].fileName, "Re_ Budget 2021_Q2.eml");
    EXPECT_NE(std::string(attachments.files()[0].bytes).find("Inner text"), std::string::npos);
}

TEST(MessageAttachments, WinmailDatIsUnpackedOrKept)
{
    TnefWriter tnef;
    tnef.addFile("REPORT~1.PDF", "%PDF-1.4 report", u"Quarterly report.pdf");
    tnef.addFile("photo.jpg", randomBytes(1000));
    std::string corrupt = tnef.bytes();
    corrupt[corrupt.size() - 1] ^= 0x55;

    MessageAttachments readable;
    ASSERT_TRUE(readable.prepare(parsed(mimeMessage("x", {{"application/ms-tnef", attachment("winmail.dat"), tnef.bytes()}})),
                                 AttachmentMode::ListOnly, "/x/m.pdf"));
    ASSERT_EQ(readable.files().size(), 2u);
    EXPECT_EQ(readable.files()[0].fileName, "Quarterly report.pdf");
    EXPECT_EQ(readable.files()[0].bytes, "%PDF-1.4 report");
    EXPECT_EQ(readable.files()[1].fileName, "photo.jpg");
    EXPECT_EQ(readable.files()[1].mimeType, "image/jpeg");

    const MailMessage withCorrupt = parsed(mimeMessage("x", {{"application/ms-tnef", attachment("winmail.dat"), corrupt}}));
    MessageAttachments unreadable;
    ASSERT_TRUE(unreadable.prepare(withCorrupt, AttachmentMode::ListOnly, "/x/m.pdf"));
    ASSERT_EQ(unreadable.files().size(), 1u);
    EXPECT_EQ(unreadable.files()[0].fileName, "winmail.dat");
    EXPECT_TRUE(unreadable.files()[0].bytes == corrupt);
}

TEST(MessageAttachments, UuencodedFilesLeaveTheBodyAndBecomeAttachments)
{
    MailMessage message = parsed("From: a@example.com\nSubject: uu\n\nHere it is:\nbegin 644 hi.txt\n"
                                 "%:&5L;&\\`\n`\nend\nBye\n");
    moveUuencodedFilesToAttachments(message);
    ASSERT_EQ(message.bodies.size(), 1u);
    EXPECT_EQ(message.bodies[0].text.find("begin"), std::string::npos);
    EXPECT_NE(message.bodies[0].text.find("Bye"), std::string::npos);
    ASSERT_EQ(message.attachments.size(), 1u);
    EXPECT_EQ(message.attachments[0].declaredName, "hi.txt");
    EXPECT_EQ(message.attachments[0].bytes, "hello");
}

TEST(MessageAttachments, PdfDateKeepsTheMessageZone)
{
    EXPECT_EQ(pdfDateOf(MailDate{1614949620, 60}), "D:20210305140700+01'00'");
    EXPECT_EQ(pdfDateOf(MailDate{0, -330}), "D:19691231183000-05'30'");
}
