#include "mailconverter/attachments/SourceEmbedding.h"

#include "mailconverter/attachments/AttachmentEmbedder.h"
#include "support/PathHelpers.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>

#include <exception>
#include <vector>

namespace tessaly {

std::string_view withoutEnvelopeLine(std::string_view bytes)
{
    if (!bytes.starts_with("From "))
        return bytes;
    const std::size_t lineEnd = bytes.find('\n');
    return lineEnd == std::string_view::npos ? std::string_view() : bytes.substr(lineEnd + 1);
}

Result<std::string> readMessageSource(const OpenFile &messageFile)
{
    Result<std::string> bytes = messageFile.readAll();
    if (!bytes)
        return bytes;
    const std::string_view source = withoutEnvelopeLine(bytes.value());
    bytes.value().erase(0, bytes.value().size() - source.size());
    return bytes;
}

std::string messageSourceName(const std::string &pdfPath)
{
    return fromFsPath(toFsPath(pdfPath).stem()) + ".eml";
}

Result<void> embedMessageSource(QPDF &pdf, std::string_view bytes, const std::string &fileName,
                                const std::string &pdfModDate)
{
    std::vector<QPDFObjectHandle> fileSpecs;
    if (Result<void> embedded = embedAttachments(pdf, {{fileName, "message/rfc822", bytes}}, pdfModDate, &fileSpecs);
        !embedded)
        return embedded;
    try {
        QPDFObjectHandle root = pdf.getRoot();
        QPDFObjectHandle associated = root.getKey("/AF");
        if (!associated.isArray()) {
            associated = QPDFObjectHandle::newArray();
            root.replaceKey("/AF", associated);
        }
        for (QPDFObjectHandle &fileSpec : fileSpecs) {
            fileSpec.replaceKey("/AFRelationship", QPDFObjectHandle::newName("/Source"));
            fileSpec.replaceKey("/Desc", QPDFObjectHandle::newUnicodeString("the message this PDF was made from"));
            associated.appendItem(fileSpec);
        }
        return {};
    } catch (const std::exception &error) {
        return Error{std::string("cannot embed the message source: ") + error.what(), FailureKind::RenderFailed};
    }
}

} // namespace tessaly
