#include "mailconverter/pdf/PdfFinisher.h"

#include "mailconverter/pdf/MarkedTextRepair.h"
#include "mailconverter/pdf/TextMapRepair.h"
#include "mailconverter/pdf/XmpMetadata.h"
#include "support/DateTime.h"

#include <qpdf/Pl_String.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFAnnotationObjectHelper.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <stdexcept>

namespace tessaly {
namespace {

void setText(QPDFObjectHandle &info, const char *key, const QString &text)
{
    if (text.isEmpty())
        info.removeKey(key);
    else
        info.replaceKey(key, QPDFObjectHandle::newUnicodeString(text.toStdString()));
}

std::string number(double value)
{
    return QPDFObjectHandle::newReal(value, 3).unparse();
}

void shiftRectangle(QPDFObjectHandle annotation, const char *key, double dx, double dy)
{
    QPDFObjectHandle values = annotation.getKey(key);
    if (!values.isArray())
        return;
    std::vector<QPDFObjectHandle> shifted = values.getArrayAsVector();
    for (std::size_t i = 0; i < shifted.size(); ++i) {
        double value = 0;
        if (shifted[i].getValueAsNumber(value))
            shifted[i] = QPDFObjectHandle::newReal(value + (i % 2 == 0 ? dx : dy), 3);
    }
    annotation.replaceKey(key, QPDFObjectHandle::newArray(shifted));
}

// The page's own content is wrapped in q … Q, so that whatever graphics state it leaves
// behind cannot transform, clip or recolour what is drawn after it.
void stampPage(QPDF &document, const PageStamp &stamp, bool onLastPage, const std::string &resourceName)
{
    QPDF source;
    source.setSuppressWarnings(true);
    source.setImmediateCopyFrom(true);
    source.processMemoryFile(resourceName.c_str(), stamp.pdf.constData(), size_t(stamp.pdf.size()));
    std::vector<QPDFPageObjectHelper> stampPages = QPDFPageDocumentHelper(source).getAllPages();
    std::vector<QPDFPageObjectHelper> pages = QPDFPageDocumentHelper(document).getAllPages();
    if (stampPages.empty() || pages.empty())
        throw std::runtime_error("no page to stamp " + resourceName + " on");
    QPDFPageObjectHelper &stampPage = stampPages.front();
    QPDFPageObjectHelper &page = onLastPage ? pages.back() : pages.front();

    const QPDFObjectHandle::Rectangle stampBox = stampPage.getMediaBox().getArrayAsRectangle();
    const QPDFObjectHandle::Rectangle pageBox = page.getMediaBox().getArrayAsRectangle();
    const double width = stampBox.urx - stampBox.llx;
    const double height = stampBox.ury - stampBox.lly;
    const double left = pageBox.llx + stamp.left;
    const double top = pageBox.ury - stamp.top;
    const QPDFObjectHandle::Rectangle place(left, top - height, left + width, top);

    QPDFObjectHandle form = document.copyForeignObject(stampPage.getFormXObjectForPage());
    QPDFObjectHandle resources = page.getAttribute("/Resources", true);
    if (!resources.isDictionary()) {
        resources = QPDFObjectHandle::newDictionary();
        page.getObjectHandle().replaceKey("/Resources", resources);
    }
    if (!resources.getKey("/XObject").isDictionary())
        resources.replaceKey("/XObject", QPDFObjectHandle::newDictionary());
    int suffix = 0;
    const std::string name = resources.getUniqueResourceName("/Tessaly" + resourceName, suffix);
    resources.getKey("/XObject").replaceKey(name, form);

    const std::string band = stamp.bandHeight <= 0
                                 ? std::string()
                                 : "q 1 1 1 rg " + number(pageBox.llx) + " " + number(pageBox.ury - stamp.bandHeight) +
                                       " " + number(pageBox.urx - pageBox.llx) + " " + number(stamp.bandHeight) +
                                       " re f Q\n";
    // The stamp's links go along, moved to where it is drawn.
    QPDFObjectHandle annotations = page.getObjectHandle().getKey("/Annots");
    if (!annotations.isArray()) {
        annotations = QPDFObjectHandle::newArray();
        page.getObjectHandle().replaceKey("/Annots", annotations);
    }
    for (QPDFAnnotationObjectHelper &link : stampPage.getAnnotations()) {
        QPDFObjectHandle copy = document.copyForeignObject(link.getObjectHandle());
        copy.removeKey("/P");
        shiftRectangle(copy, "/Rect", place.llx - stampBox.llx, place.lly - stampBox.lly);
        shiftRectangle(copy, "/QuadPoints", place.llx - stampBox.llx, place.lly - stampBox.lly);
        annotations.appendItem(copy);
    }
    page.addPageContents(QPDFObjectHandle::newStream(&document, "q\n"), true);
    page.addPageContents(QPDFObjectHandle::newStream(
                             &document, "\nQ\n" + band + page.placeFormXObject(form, name, place, true, false, false)),
                         false);
}

void raiseLaterPages(QPDF &document, double dy)
{
    std::vector<QPDFPageObjectHelper> pages = QPDFPageDocumentHelper(document).getAllPages();
    for (std::size_t i = 1; i < pages.size(); ++i) {
        pages[i].addPageContents(QPDFObjectHandle::newStream(&document, "q 1 0 0 1 0 " + number(dy) + " cm\n"), true);
        pages[i].addPageContents(QPDFObjectHandle::newStream(&document, "\nQ\n"), false);
        for (QPDFAnnotationObjectHelper &annotation : pages[i].getAnnotations()) {
            shiftRectangle(annotation.getObjectHandle(), "/Rect", 0, dy);
            shiftRectangle(annotation.getObjectHandle(), "/QuadPoints", 0, dy);
        }
    }
}

/// Whether PDF version `version` ("1.4") is `major`.`minor` or later.
bool isAtLeastVersion(const std::string &version, int major, int minor)
{
    const std::size_t dot = version.find('.');
    if (dot == std::string::npos)
        return false;
    const int versionMajor = std::atoi(version.substr(0, dot).c_str());
    const int versionMinor = std::atoi(version.substr(dot + 1).c_str());
    return versionMajor > major || (versionMajor == major && versionMinor >= minor);
}

} // namespace

std::string pdfDate(const QDateTime &dateTime)
{
    return pdfDate(dateTime.toSecsSinceEpoch(), dateTime.offsetFromUtc() / 60);
}

Result<std::string> finishPdf(const QByteArray &pdf, const PdfFinishing &finishing)
{
    std::string finished;
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
        // Chromium's pages name Skia as their producer; our text engine writes its marks' spans so
        // that they copy out already.
        const bool drawnBySkia =
            info.getKey("/Producer").isString() && info.getKey("/Producer").getUTF8Value().rfind("Skia/PDF", 0) == 0;
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
        setXmpMetadata(document, metadata);

        if (finishing.keptPages > 0) {
            QPDFPageDocumentHelper pages(document);
            std::vector<QPDFPageObjectHelper> all = pages.getAllPages();
            for (std::size_t i = all.size(); i > std::size_t(finishing.keptPages); --i)
                pages.removePage(all[i - 1]);
        }
        if (drawnBySkia)
            repairMarkedText(document);
        if (!finishing.firstPageStamp.pdf.isEmpty()) {
            stampPage(document, finishing.firstPageStamp, false, "Header");
            if (finishing.firstPageStamp.laterPagesRaise > 0)
                raiseLaterPages(document, finishing.firstPageStamp.laterPagesRaise);
        }
        if (!finishing.lastPageStamp.pdf.isEmpty())
            stampPage(document, finishing.lastPageStamp, true, "Notice");
        repairTextMaps(document);

        if (finishing.edit) {
            Result<void> edited = finishing.edit(document);
            if (!edited)
                return edited.error();
        }

        Pl_String output("finished PDF", nullptr, finished);
        QPDFWriter writer(document);
        writer.setOutputPipeline(&output);
        // The renderers compress their streams already, and an embedded file is left
        // uncompressed on purpose when compressing would not shrink it: copy streams as they are.
        writer.setCompressStreams(false);
        writer.setDecodeLevel(qpdf_dl_none);
        if (!finishing.minimumPdfVersion.empty())
            writer.setMinimumPDFVersion(finishing.minimumPdfVersion);
        // Object streams came in with PDF 1.5; qpdf would raise an older version to allow them.
        if (finishing.objectStreams &&
            (isAtLeastVersion(document.getPDFVersion(), 1, 5) || isAtLeastVersion(finishing.minimumPdfVersion, 1, 5)))
            writer.setObjectStreamMode(qpdf_o_generate);
        writer.write();
    } catch (const std::exception &failure) {
        return Error{std::string("cannot finish the PDF: ") + failure.what(), FailureKind::RenderFailed};
    }
    return finished;
}

} // namespace tessaly
