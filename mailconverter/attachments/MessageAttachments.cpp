#include "mailconverter/attachments/MessageAttachments.h"

#include "mailconverter/attachments/AttachmentEmbedder.h"
#include "mailconverter/readers/TnefReader.h"
#include "mailconverter/readers/UuencodeExtractor.h"
#include "support/DateTime.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFAnnotationObjectHelper.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>

#include <exception>

namespace tessaly {

Result<void> restoreRelativeLinks(QPDF &pdf, const std::vector<std::string> &hrefs)
{
    if (hrefs.empty())
        return {};
    try {
        for (QPDFPageObjectHelper &page : QPDFPageDocumentHelper(pdf).getAllPages()) {
            for (QPDFAnnotationObjectHelper &annotation : page.getAnnotations("/Link")) {
                QPDFObjectHandle action = annotation.getObjectHandle().getKey("/A");
                if (!action.isDictionary() || !action.getKey("/URI").isString())
                    continue;
                const std::string uri = action.getKey("/URI").getStringValue();
                for (const std::string &href : hrefs) {
                    if (uri == href || (uri.size() > href.size() && uri.ends_with("/" + href))) {
                        action.replaceKey("/URI", QPDFObjectHandle::newString(href));
                        break;
                    }
                }
            }
        }
        return {};
    } catch (const std::exception &error) {
        return Error{std::string("cannot set the links to the attachments: ") + error.what(),
                     FailureKind::RenderFailed};
    }
}

void moveUuencodedFilesToAttachments(MailMessage &message)
{
    for (BodyPart &body : message.bodies) {
        if (body.kind != BodyPart::Kind::PlainText || body.text.find("begin ") == std::string::npos)
            continue;
        UuencodeExtraction extraction = extractUuencodedFiles(body.text);
        if (extraction.attachments.empty())
            continue;
        body.text = std::move(extraction.text);
        for (ExtractedAttachment &file : extraction.attachments)
            message.attachments.push_back(
                AttachmentPart{std::move(file.declaredName), std::move(file.mimeType), std::move(file.bytes), false});
    }
}

void MessageAttachments::addFile(std::string safeName, const std::string &mimeType, std::string_view bytes)
{
    m_files.push_back(AttachmentFile{m_names.claim(safeName), mimeType, bytes});
}

void MessageAttachments::collect(const MailMessage &message)
{
    std::size_t forwardedIndex = 0;
    for (const AttachmentPart &part : message.attachments) {
        const int index = static_cast<int>(m_files.size()) + 1;
        if (part.isForwardedMessage) {
            // The model keeps the forwarded messages, parsed, in the order of their parts.
            const std::string subject = forwardedIndex < message.forwarded.size()
                                            ? message.forwarded[forwardedIndex].subject
                                            : subjectOfRawMessage(part.bytes);
            ++forwardedIndex;
            addFile(forwardedMessageName(subject, index), "message/rfc822", part.bytes);
            continue;
        }
        if (isTnefMimeType(part.mimeType)) {
            Result<std::vector<ExtractedAttachment>> carried = readTnefAttachments(part.bytes);
            if (carried) {
                for (ExtractedAttachment &file : carried.value()) {
                    m_ownedBytes.push_back(std::move(file.bytes));
                    addFile(safeAttachmentName(file.declaredName, file.mimeType, static_cast<int>(m_files.size()) + 1),
                            file.mimeType, m_ownedBytes.back());
                }
                continue;
            }
            // Unreadable: the winmail.dat is kept as it came, so nothing is lost.
        }
        addFile(safeAttachmentName(part.declaredName, part.mimeType, index), part.mimeType, part.bytes);
    }
}

Result<std::vector<AttachmentListing>> MessageAttachments::prepare(const MailMessage &message, AttachmentMode mode,
                                                                   const CommitPlan &target)
{
    m_mode = mode;
    m_modDate = message.date ? pdfDate(message.date->utcSeconds, message.date->offsetMinutes) : std::string();
    collect(message);

    std::vector<AttachmentListing> listings;
    if (mode == AttachmentMode::Folder) {
        std::vector<std::string> names;
        for (const AttachmentFile &file : m_files)
            names.push_back(file.fileName);
        m_plan = planAttachmentFolder(target.pdfPath, names, target.namesInAttachmentFolder);
        for (const std::string &name : target.namesInAttachmentFolder)
            m_folderNames.reserve(name);
        for (const std::string &name : m_plan.fileNames)
            m_folderNames.reserve(name);
        for (std::size_t i = 0; i < m_files.size(); ++i) {
            m_files[i].fileName = m_plan.fileNames[i];
            listings.push_back(AttachmentListing{m_plan.fileNames[i], m_files[i].bytes.size(), m_plan.hrefs[i], false});
        }
        return listings;
    }
    for (const AttachmentFile &file : m_files)
        listings.push_back(AttachmentListing{file.fileName, file.bytes.size(), "", mode == AttachmentMode::Embed});
    return listings;
}

Result<void> MessageAttachments::editPdf(QPDF &pdf, std::string &minimumPdfVersion)
{
    if (m_mode == AttachmentMode::Folder)
        return restoreRelativeLinks(pdf, m_plan.hrefs);
    if (m_mode != AttachmentMode::Embed || m_files.empty())
        return {};
    minimumPdfVersion = kEmbeddedFilesMinimumPdfVersion;
    return embedAttachments(pdf, m_files, m_modDate);
}

std::string MessageAttachments::addUnlistedFile(const std::string &safeName, std::string bytes)
{
    std::string name = m_folderNames.claim(safeName);
    m_unlisted.push_back(FileToSave{name, std::move(bytes)});
    return name;
}

void MessageAttachments::addFilesToSave(RenderedMessage &rendered) const
{
    if (m_mode != AttachmentMode::Folder || (m_files.empty() && m_unlisted.empty()))
        return;
    for (const AttachmentFile &file : m_files)
        rendered.attachments.push_back(FileToSave{file.fileName, std::string(file.bytes)});
    rendered.attachments.insert(rendered.attachments.end(), m_unlisted.begin(), m_unlisted.end());
}

} // namespace tessaly
