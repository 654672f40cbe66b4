#include "mailconverter/bundle/QpdfBundleAssembler.h"

#include "mailconverter/attachments/AttachmentEmbedder.h"
#include "mailconverter/bundle/ContentsPages.h"
#include "mailconverter/bundle/FolderFileSource.h"
#include "mailconverter/bundle/ForeignPages.h"
#include "mailconverter/bundle/PendingFileSink.h"
#include "mailconverter/bundle/StampPlacement.h"
#include "support/PendingFile.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFEmbeddedFileDocumentHelper.hh>
#include <qpdf/QPDFExc.hh>
#include <qpdf/QPDFWriter.hh>

#include <exception>
#include <memory>
#include <string>
#include <vector>

namespace tessaly {
namespace {

constexpr std::string_view kEnDash = " \u2013 ";

std::string outlineTitle(const BundleMessage &message)
{
    std::string title;
    if (!message.date.empty())
        title = message.date + std::string(kEnDash);
    title += message.from.empty() ? "(no sender)" : message.from;
    title += kEnDash;
    title += message.subject.empty() ? "(no subject)" : message.subject;
    return title;
}

QPDFObjectHandle destinationOf(const QPDFObjectHandle &page)
{
    QPDFObjectHandle destination = QPDFObjectHandle::newArray();
    destination.appendItem(page);
    destination.appendItem(QPDFObjectHandle::newName("/XYZ"));
    for (int i = 0; i < 3; ++i)
        destination.appendItem(QPDFObjectHandle::newNull());
    return destination;
}

/// Links each contents line to its message's first page.
void linkContentsLines(QPDF &bundle, const BundlePart &part, const ContentsPages &contents,
                       const std::vector<QPDFObjectHandle> &contentsPages, std::vector<QPDFObjectHandle> &firstPages)
{
    for (std::size_t i = 0; i < part.messages.size(); ++i) {
        const TextPlacement &line = contents.lines[i];
        if (!firstPages[i].isInitialized() || line.page < 0 || std::size_t(line.page) >= contentsPages.size())
            continue;
        QPDFObjectHandle link = QPDFObjectHandle::newDictionary();
        link.replaceKey("/Type", QPDFObjectHandle::newName("/Annot"));
        link.replaceKey("/Subtype", QPDFObjectHandle::newName("/Link"));
        link.replaceKey("/Rect", QPDFObjectHandle::newArray(
                                     QPDFObjectHandle::Rectangle(line.left, line.bottom, line.right, line.top)));
        link.replaceKey("/Border", QPDFObjectHandle::parse("[0 0 0]"));
        link.replaceKey("/Dest", destinationOf(firstPages[i]));
        QPDFObjectHandle page = contentsPages[std::size_t(line.page)];
        QPDFObjectHandle annotations = page.getKey("/Annots");
        if (!annotations.isArray()) {
            annotations = QPDFObjectHandle::newArray();
            page.replaceKey("/Annots", annotations);
        }
        annotations.appendItem(bundle.makeIndirectObject(link));
    }
}

void addOutline(QPDF &bundle, const BundlePart &part, std::vector<QPDFObjectHandle> &firstPages)
{
    QPDFObjectHandle outlines = bundle.makeIndirectObject(QPDFObjectHandle::newDictionary());
    outlines.replaceKey("/Type", QPDFObjectHandle::newName("/Outlines"));
    QPDFObjectHandle previous;
    int count = 0;
    for (std::size_t i = 0; i < part.messages.size(); ++i) {
        if (!firstPages[i].isInitialized())
            continue;
        QPDFObjectHandle item = bundle.makeIndirectObject(QPDFObjectHandle::newDictionary());
        item.replaceKey("/Title", QPDFObjectHandle::newUnicodeString(outlineTitle(part.messages[i])));
        item.replaceKey("/Parent", outlines);
        item.replaceKey("/Dest", destinationOf(firstPages[i]));
        if (previous.isInitialized()) {
            item.replaceKey("/Prev", previous);
            previous.replaceKey("/Next", item);
        } else {
            outlines.replaceKey("/First", item);
        }
        previous = item;
        ++count;
    }
    if (count == 0)
        return;
    outlines.replaceKey("/Last", previous);
    outlines.replaceKey("/Count", QPDFObjectHandle::newInteger(count));
    QPDFObjectHandle root = bundle.getRoot();
    root.replaceKey("/Outlines", outlines);
    root.replaceKey("/PageMode", QPDFObjectHandle::newName("/UseOutlines"));
}

void addPageLabels(QPDF &bundle, std::size_t contentsPageCount, std::size_t messagePageCount)
{
    QPDFObjectHandle numbers = QPDFObjectHandle::newArray();
    numbers.appendItem(QPDFObjectHandle::newInteger(0));
    numbers.appendItem(QPDFObjectHandle::parse("<< /S /r >>"));
    if (messagePageCount > 0) {
        numbers.appendItem(QPDFObjectHandle::newInteger(qpdf_offset_t(contentsPageCount)));
        numbers.appendItem(QPDFObjectHandle::parse("<< /S /D >>"));
    }
    QPDFObjectHandle labels = QPDFObjectHandle::newDictionary();
    labels.replaceKey("/Nums", numbers);
    bundle.getRoot().replaceKey("/PageLabels", labels);
}

/// Replaces `destination` with the pending file's contents, as one rename.
Result<void> commit(PendingFile &pending, const FileInFolder &destination)
{
    if (Result<void> replaced = pending.commitReplacing(destination.name); !replaced)
        return replaced;
    return destination.folder.sync();
}

} // namespace

Result<AssembledPart> QpdfBundleAssembler::assemble(const BundlePart &part, const FileInFolder &destination)
{
    AssembledPart assembled;
    assembled.messages.resize(part.messages.size());
    try {
        QPDF bundle;
        // A library prints nothing: what goes wrong comes back as an error.
        bundle.setSuppressWarnings(true);
        bundle.emptyPDF();
        QPDFEmbeddedFileDocumentHelper bundleFiles(bundle);

        std::vector<QPDFObjectHandle> messagePages;
        std::vector<QPDFObjectHandle> firstPages(part.messages.size());
        std::uint64_t bates = part.bates ? part.bates->first : 0;
        for (std::size_t i = 0; i < part.messages.size(); ++i) {
            const BundleMessage &message = part.messages[i];
            if (!message.pdf)
                continue;
            auto input = std::make_shared<FolderFileSource>(*message.pdf);
            input->stayOpen(true);
            QPDF source;
            source.setSuppressWarnings(true);
            source.processInputSource(input);
            prefixEmbeddedFileNames(source, message.number);
            const std::vector<QPDFObjectHandle> pages = copyPages(bundle, source);
            carryEmbeddedFiles(bundle, source, message.number, bundleFiles);
            input->stayOpen(false);
            if (pages.empty())
                continue;
            AssembledMessage &placed = assembled.messages[i];
            placed.firstPage = int(messagePages.size()) + 1;
            placed.lastPage = int(messagePages.size() + pages.size());
            if (part.bates) {
                placed.firstBates = batesText(*part.bates, bates, assembled.batesOverflowed);
                placed.lastBates = batesText(*part.bates, bates + pages.size() - 1, assembled.batesOverflowed);
                bates += pages.size();
            }
            firstPages[i] = pages.front();
            messagePages.insert(messagePages.end(), pages.begin(), pages.end());
        }
        assembled.nextBates = bates;

        Result<ContentsPages> contents = ContentsPages::draw(part, assembled.messages);
        if (!contents)
            return contents.error();
        // qpdf reads the copied pages' streams from these bytes when it writes.
        const QByteArray contentsPdf = contents.value().pdf;
        std::vector<QPDFObjectHandle> contentsPages;
        {
            QPDF contentsSource;
            contentsSource.processMemoryFile("contents", contentsPdf.constData(), std::size_t(contentsPdf.size()));
            contentsPages = copyPages(bundle, contentsSource);
        }
        linkContentsLines(bundle, part, contents.value(), contentsPages, firstPages);

        std::vector<QPDFObjectHandle> pages = contentsPages;
        pages.insert(pages.end(), messagePages.begin(), messagePages.end());
        QPDFObjectHandle pageTree = bundle.getRoot().getKey("/Pages");
        QPDFObjectHandle kids = QPDFObjectHandle::newArray(pages);
        for (QPDFObjectHandle page : pages)
            page.replaceKey("/Parent", pageTree);
        pageTree.replaceKey("/Kids", kids);
        pageTree.replaceKey("/Count", QPDFObjectHandle::newInteger(qpdf_offset_t(pages.size())));
        assembled.pageCount = int(pages.size());

        addOutline(bundle, part, firstPages);
        addPageLabels(bundle, contentsPages.size(), messagePages.size());

        // qpdf reads the stamps' fonts from these bytes when it writes.
        QByteArray stampsPdf;
        if (Result<void> stamped = addStamps(bundle, part, pages, contentsPages.size(), assembled, stampsPdf); !stamped)
            return stamped.error();

        QPDFObjectHandle info = bundle.makeIndirectObject(QPDFObjectHandle::newDictionary());
        std::string title = part.title;
        if (part.partCount > 1)
            title += " (part " + std::to_string(part.partNumber) + " of " + std::to_string(part.partCount) + ")";
        info.replaceKey("/Title", QPDFObjectHandle::newUnicodeString(title));
        info.replaceKey("/Creator", QPDFObjectHandle::newUnicodeString("Tessaly"));
        bundle.getTrailer().replaceKey("/Info", info);
        bundle.getRoot().replaceKey("/ViewerPreferences", QPDFObjectHandle::parse("<< /DisplayDocTitle true >>"));

        Result<PendingFile> pending = PendingFile::createIn(destination.folder);
        if (!pending)
            return pending.error();
        PendingFileSink sink(pending.value());
        QPDFWriter writer(bundle);
        writer.setOutputPipeline(&sink);
        writer.setObjectStreamMode(qpdf_o_generate);
        writer.setCompressStreams(true);
        // Streams are copied as they are: embedded files keep their bytes, and nothing is
        // decoded only to be encoded again.
        writer.setDecodeLevel(qpdf_dl_none);
        writer.setMinimumPDFVersion(kEmbeddedFilesMinimumPdfVersion);
        writer.write();
        if (sink.failure())
            return *sink.failure();
        // qpdf writes on past stream data it could not read (a message PDF gone or changed
        // since it was read), leaving it out: such a bundle is not kept.
        if (const std::vector<QPDFExc> warnings = bundle.getWarnings(); !warnings.empty())
            return Error{warnings.front().what(), FailureKind::Unreadable};
        if (Result<void> committed = commit(pending.value(), destination); !committed)
            return committed.error();
        return assembled;
    } catch (const std::exception &error) {
        return Error{error.what(), FailureKind::RenderFailed};
    }
}

} // namespace tessaly