#include "mailconverter/attachments/AttachmentEmbedder.h"

#include "mailconverter/readers/AttachmentNames.h"
#include "support/FileNameRules.h"

#include <qpdf/Pipeline.hh>
#include <qpdf/Pl_Flate.hh>
#include <qpdf/Pl_String.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFEFStreamObjectHelper.hh>
#include <qpdf/QPDFEmbeddedFileDocumentHelper.hh>
#include <qpdf/QPDFFileSpecObjectHelper.hh>
#include <qpdf/QPDFWriter.hh>
#include <qpdf/QUtil.hh>

#include <exception>

namespace tessaly {
namespace {

/// How much of a file is compressed to decide whether compressing the whole pays.
constexpr std::size_t kCompressionSampleBytes = 64 * 1024;
/// Files smaller than this are compressed without asking: the sample would be the file.
constexpr std::size_t kAlwaysTryBelowBytes = kCompressionSampleBytes;
/// The sample must shrink to this share of its size (in percent) for compression to pay.
constexpr std::size_t kWorthwhileCompressionPercent = 90;

std::string deflate(std::string_view data)
{
    std::string compressed;
    Pl_String sink("compressed", nullptr, compressed);
    Pl_Flate flate("deflate", &sink, Pl_Flate::a_deflate);
    flate.write(reinterpret_cast<const unsigned char *>(data.data()), data.size());
    flate.finish();
    return compressed;
}

/// The compressed form of `data` when compressing it saves enough; "" otherwise.
std::string compressedIfWorthwhile(std::string_view data)
{
    if (data.empty())
        return {};
    if (data.size() > kAlwaysTryBelowBytes) {
        const std::string_view sample = data.substr(0, kCompressionSampleBytes);
        if (deflate(sample).size() * 100 > sample.size() * kWorthwhileCompressionPercent)
            return {};
    }
    std::string compressed = deflate(data);
    if (compressed.size() * 100 > data.size() * kWorthwhileCompressionPercent)
        return {};
    return compressed;
}

std::string pdfSubtypeName(const std::string &mimeType)
{
    // setSubtype takes the MIME type and writes it as a name, escaping "/" as PDF wants.
    return mimeType.empty() ? std::string("application/octet-stream") : mimeType;
}

} // namespace

Result<void> embedAttachments(QPDF &pdf, const std::vector<AttachmentFile> &files, const std::string &pdfModDate,
                              std::vector<QPDFObjectHandle> *fileSpecs)
{
    try {
        QPDFEmbeddedFileDocumentHelper embedded(pdf);
        const std::string modDate =
            pdfModDate.empty() ? QUtil::qpdf_time_to_pdf_time(QUtil::get_current_qpdf_time()) : pdfModDate;
        UniqueNames asciiNames;
        for (const AttachmentFile &file : files) {
            std::string key = file.fileName;
            for (int n = 2; embedded.getEmbeddedFile(key); ++n)
                key = numberedVariant(file.fileName, n);

            // The stream reads the caller's bytes when it is written: no copy of a large file.
            const std::string_view bytes = file.bytes;
            auto stream = QPDFEFStreamObjectHelper::createEFStream(pdf, [bytes](Pipeline *pipeline) {
                pipeline->write(reinterpret_cast<const unsigned char *>(bytes.data()), bytes.size());
                pipeline->finish();
            });
            stream.setSubtype(pdfSubtypeName(file.mimeType)).setModDate(modDate);
            if (std::string compressed = compressedIfWorthwhile(file.bytes); !compressed.empty()) {
                stream.getObjectHandle().replaceStreamData(compressed, QPDFObjectHandle::newName("/FlateDecode"),
                                                           QPDFObjectHandle::newNull());
            }

            auto fileSpec = QPDFFileSpecObjectHelper::createFileSpec(pdf, key, stream);
            fileSpec.setFilename(key, asciiNames.claim(asciiFallbackName(key)));
            embedded.replaceEmbeddedFile(key, fileSpec);
            if (fileSpecs)
                fileSpecs->push_back(fileSpec.getObjectHandle());
        }
        return {};
    } catch (const std::exception &error) {
        return Error{std::string("cannot embed the attachments: ") + error.what(), FailureKind::RenderFailed};
    }
}

void prepareWriterForEmbeddedFiles(QPDFWriter &writer)
{
    writer.setMinimumPDFVersion(kEmbeddedFilesMinimumPdfVersion);
    writer.setCompressStreams(false);
    writer.setDecodeLevel(qpdf_dl_none);
}

Result<void> embedAttachmentsInFile(const std::string &inputPath, const std::string &outputPath,
                                    const std::vector<AttachmentFile> &files, const std::string &pdfModDate)
{
    QPDF pdf;
    try {
        pdf.setSuppressWarnings(true); // a library prints nothing; failures come back as errors
        pdf.processFile(inputPath.c_str());
    } catch (const std::exception &error) {
        return Error{"cannot read '" + inputPath + "': " + error.what(), FailureKind::Unreadable};
    }
    try {
        if (Result<void> added = embedAttachments(pdf, files, pdfModDate); !added)
            return added.error().within("'" + inputPath + "': ");
        QPDFWriter writer(pdf, outputPath.c_str());
        prepareWriterForEmbeddedFiles(writer);
        writer.write();
        return {};
    } catch (const std::exception &error) {
        return Error{"cannot write '" + outputPath + "': " + error.what(), FailureKind::Unwritable};
    }
}

} // namespace tessaly
