// The last pass over a rendered PDF: document info, extra edits, and writing it out.
#include "PdfFinisher.h"

#include "TextMapRepair.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFWriter.hh>

#include <cstdio>
#include <exception>

namespace tessaly {
namespace {

void setText(QPDFObjectHandle &info, const char *key, const QString &text)
{
    if (text.isEmpty())
        info.removeKey(key);
    else
        info.replaceKey(key, QPDFObjectHandle::newUnicodeString(text.toStdString()));
}

} // namespace

std::string pdfDate(const QDateTime &dateTime)
{
    const int offsetMinutes = dateTime.offsetFromUtc() / 60;
    const int magnitude = offsetMinutes < 0 ? -offsetMinutes : offsetMinutes;
    char zone[16];
    if (offsetMinutes == 0)
        std::snprintf(zone, sizeof zone, "Z");
    else
        std::snprintf(zone, sizeof zone, "%c%02d'%02d'", offsetMinutes < 0 ? '-' : '+', magnitude / 60,
                      magnitude % 60);
    return "D:" + dateTime.toString(QStringLiteral("yyyyMMddHHmmss")).toStdString() + zone;
}

Result<void> finishPdf(const QByteArray &pdf, const PdfFinishing &finishing, const std::string &outputPath)
{
    try {
        QPDF document;
        document.setSuppressWarnings(true);
        document.processMemoryFile("rendered message", pdf.constData(), size_t(pdf.size()));

        QPDFObjectHandle trailer = document.getTrailer();
        QPDFObjectHandle info = trailer.getKey("/Info");
        if (!info.isDictionary()) {
            info = document.makeIndirectObject(QPDFObjectHandle::newDictionary());
            trailer.replaceKey("/Info", info);
        }
        const PdfMetadata &metadata = finishing.metadata;
        setText(info, "/Title", metadata.title);
        setText(info, "/Author", metadata.author);
        if (metadata.created.isValid())
            info.replaceKey("/CreationDate", QPDFObjectHandle::newString(pdfDate(metadata.created)));
        else
            info.removeKey("/CreationDate");
        info.removeKey("/ModDate");
        info.replaceKey("/Creator", QPDFObjectHandle::newUnicodeString("Tessaly"));
        info.replaceKey("/Producer", QPDFObjectHandle::newUnicodeString("Tessaly"));

        repairTextMaps(document);

        if (finishing.edit) {
            Result<void> edited = finishing.edit(document);
            if (!edited)
                return edited;
        }

        QPDFWriter writer(document, outputPath.c_str());
        // The renderers compress their streams already, and an embedded file is left
        // uncompressed on purpose when compressing would not shrink it: copy streams as they are.
        writer.setCompressStreams(false);
        writer.setDecodeLevel(qpdf_dl_none);
        if (!finishing.minimumPdfVersion.empty())
            writer.setMinimumPDFVersion(finishing.minimumPdfVersion);
        writer.write();
    } catch (const std::exception &failure) {
        return Error{std::string("cannot finish the PDF: ") + failure.what()};
    }
    return {};
}

} // namespace tessaly
