#include "mailconverter/pdf/PdfPageCount.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>

#include <exception>
#include <string>

namespace tessaly {

Result<int> countPdfPages(const QByteArray &pdf)
{
    try {
        QPDF document;
        document.setSuppressWarnings(true);
        document.processMemoryFile("printed pages", pdf.constData(), size_t(pdf.size()));
        return static_cast<int>(QPDFPageDocumentHelper(document).getAllPages().size());
    } catch (const std::exception &failure) {
        return Error{std::string("cannot count the printed pages: ") + failure.what(), FailureKind::RenderFailed};
    }
}

} // namespace tessaly
