// Puts attachments into a PDF as embedded files, which PDF readers list and can save.
#pragma once

#include "mailconverter/readers/AttachmentFile.h"
#include "support/Result.h"

#include <string>
#include <vector>

class QPDF;
class QPDFObjectHandle;
class QPDFWriter;

namespace tessaly {

/// The PDF version the Unicode file names (/UF) of embedded files need.
inline constexpr const char *kEmbeddedFilesMinimumPdfVersion = "1.7";

/// Adds `files` to the document's EmbeddedFiles name tree, in order. Each gets a /Filespec
/// dictionary with the Unicode name (/UF) and an ASCII stand-in (/F), the MIME type as
/// /Subtype, its size, checksum and `pdfModDate` (a PDF date such as "D:20210305140700+01'00'";
/// "" for now). Names are keys of the tree, so they must be unique (as UniqueNames makes
/// them); a key already in the tree gets a numbered variant rather than replacing it.
///
/// The files' bytes are read again when the document is written, so they must stay alive
/// and unchanged until then.
///
/// Content that a sample shows to compress is stored Flate-compressed here; the rest (JPEG,
/// ZIP, …) is stored as it is. For that to hold, write the document with a writer set up by
/// prepareWriterForEmbeddedFiles. Fails with qpdf's reason, never throws. When `fileSpecs`
/// is given, the files' /Filespec dictionaries are appended to it, for further keys.
Result<void> embedAttachments(QPDF &pdf, const std::vector<AttachmentFile> &files, const std::string &pdfModDate = {},
                              std::vector<QPDFObjectHandle> *fileSpecs = nullptr);

/// Raises the writer's minimum version to 1.7 and stops it from compressing streams that
/// embedAttachments deliberately left uncompressed. Streams already compressed (all that Qt
/// and Chromium write) are copied as they are.
void prepareWriterForEmbeddedFiles(QPDFWriter &writer);

/// Reads the PDF at `inputPath`, embeds `files` and writes the result to `outputPath`.
/// `outputPath` must not be `inputPath`. Fails with the file and qpdf's reason.
Result<void> embedAttachmentsInFile(const std::string &inputPath, const std::string &outputPath,
                                    const std::vector<AttachmentFile> &files, const std::string &pdfModDate = {});

} // namespace tessaly
