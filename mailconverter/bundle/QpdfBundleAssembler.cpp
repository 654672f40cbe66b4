#include "mailconverter/bundle/QpdfBundleAssembler.h"

#include "mailconverter/attachments/AttachmentEmbedder.h"
#include "mailconverter/bundle/ContentsPages.h"
#include "mailconverter/bundle/FolderFileSource.h"
#include "mailconverter/bundle/PageStamps.h"
#include "mailconverter/bundle/PendingFileSink.h"
#include "support/PendingFile.h"

#include <qpdf/Buffer.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFEmbeddedFileDocumentHelper.hh>
#include <qpdf/QPDFExc.hh>
#include <qpdf/QPDFFileSpecObjectHelper.hh>
#include <qpdf/QPDFNameTreeObjectHelper.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <exception>
#include <memory>
#include <string>
#include <vector>

namespace tessaly {
namespace {

constexpr std::string_view kEnDash = " \u2013 ";
constexpr const char *kStampResourceName = "/TessalyStamp";

/// The Bates number `number`, zero-padded to the numbering's width; `overflowed` is set when
/// it needs more digits than that.
std::string batesText(const BatesNumbering &bates, std::uint64_t number, bool &overflowed)
{
    std::string digits = std::to_string(number);
    if (digits.size() > std::size_t(bates.digits))
        overflowed = true;
    else
        digits.insert(0, std::size_t(bates.digits) - digits.size(), '0');
    return bates.prefix + digits;
}

std::string lowerRoman(int number)
{
    static constexpr std::pair<int, const char *> kNumerals[] = {
        {1000, "m"}, {900, "cm"}, {500, "d"}, {400, "cd"}, {100, "c"}, {90, "xc"}, {50, "l"},
        {40, "xl"},  {10, "x"},   {9, "ix"},  {5, "v"},    {4, "iv"},  {1, "i"}};
    std::string roman;
    for (const auto &[value, numeral] : kNumerals) {
        for (; number >= value; number -= value)
            roman += numeral;
    }
    return roman;
}

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

/// The explicit destination that the named destination `name` of `source` stands for (from
/// the catalog's /Dests or its /Names /Dests tree); null when it names none.
QPDFObjectHandle namedDestination(QPDF &source, QPDFObjectHandle name)
{
    QPDFObjectHandle root = source.getRoot();
    QPDFObjectHandle found;
    if (name.isName()) {
        if (QPDFObjectHandle dests = root.getKey("/Dests"); dests.isDictionary())
            found = dests.getKey(name.getName());
    } else if (name.isString()) {
        QPDFObjectHandle names = root.getKey("/Names");
        if (names.isDictionary() && names.getKey("/Dests").isDictionary())
            QPDFNameTreeObjectHelper(names.getKey("/Dests"), source).findObject(name.getUTF8Value(), found);
    }
    if (found.isDictionary())
        found = found.getKey("/D");
    return found.isArray() ? found : QPDFObjectHandle::newNull();
}

/// Turns the named destinations of the links on `pages` into the explicit ones they name:
/// the names live in the message's catalog, which the bundle does not take over, while an
/// explicit destination points at a page, whose copy it then points at.
void resolveNamedDestinations(QPDF &source, const std::vector<QPDFObjectHandle> &pages)
{
    const auto resolve = [&](QPDFObjectHandle holder, const char *key) {
        QPDFObjectHandle destination = holder.getKey(key);
        if (!destination.isName() && !destination.isString())
            return;
        if (QPDFObjectHandle explicitDestination = namedDestination(source, destination); explicitDestination.isArray())
            holder.replaceKey(key, explicitDestination);
    };
    for (QPDFObjectHandle page : pages) {
        QPDFObjectHandle annotations = page.getKey("/Annots");
        if (!annotations.isArray())
            continue;
        for (QPDFObjectHandle annotation : annotations.aitems()) {
            if (!annotation.isDictionary())
                continue;
            resolve(annotation, "/Dest");
            QPDFObjectHandle action = annotation.getKey("/A");
            if (action.isDictionary() && action.getKey("/S").isNameAndEquals("/GoTo"))
                resolve(action, "/D");
        }
    }
}

/// Copies the pages of `source` into `bundle`, as plain objects that the caller puts in the
/// bundle's page tree; links between them keep pointing at each other's copies.
std::vector<QPDFObjectHandle> copyPages(QPDF &bundle, QPDF &source)
{
    QPDFPageDocumentHelper(source).pushInheritedAttributesToPage();
    const std::vector<QPDFObjectHandle> &pages = source.getAllPages();
    resolveNamedDestinations(source, pages);
    // Without it, each copy would bring the source's whole page tree along. The annotations
    // come after all pages: qpdf copies a reference to a page not yet copied as null.
    std::vector<QPDFObjectHandle> annotations;
    for (QPDFObjectHandle page : pages) {
        page.removeKey("/Parent");
        QPDFObjectHandle pageAnnotations = page.getKey("/Annots");
        if (pageAnnotations.isArray() && !pageAnnotations.isIndirect())
            pageAnnotations = source.makeIndirectObject(pageAnnotations);
        annotations.push_back(pageAnnotations);
        page.removeKey("/Annots");
    }
    std::vector<QPDFObjectHandle> copies;
    copies.reserve(pages.size());
    for (const QPDFObjectHandle &page : pages)
        copies.push_back(bundle.copyForeignObject(page));
    for (std::size_t i = 0; i < pages.size(); ++i) {
        if (annotations[i].isArray())
            copies[i].replaceKey("/Annots", bundle.copyForeignObject(annotations[i]).shallowCopy());
    }
    return copies;
}

/// Renames the embedded files of `source` to "<number> - <name>", before anything of it is
/// copied (a copy already made would not see the change).
void prefixEmbeddedFileNames(QPDF &source, int number)
{
    QPDFEmbeddedFileDocumentHelper files(source);
    if (!files.hasEmbeddedFiles())
        return;
    const std::string prefix = std::to_string(number) + " - ";
    for (const auto &[name, fileSpec] : files.getEmbeddedFiles()) {
        QPDFObjectHandle spec = fileSpec->getObjectHandle();
        if (QPDFObjectHandle unicode = spec.getKey("/UF"); unicode.isString())
            spec.replaceKey("/UF", QPDFObjectHandle::newUnicodeString(prefix + unicode.getUTF8Value()));
        if (QPDFObjectHandle ascii = spec.getKey("/F"); ascii.isString())
            spec.replaceKey("/F", QPDFObjectHandle::newString(prefix + ascii.getStringValue()));
    }
}

/// Carries the embedded files of message `number` into the bundle's list under prefixed
/// names, and the catalog's associated files (the message source) into the bundle's /AF.
void carryEmbeddedFiles(QPDF &bundle, QPDF &source, int number, QPDFEmbeddedFileDocumentHelper &bundleFiles)
{
    QPDFEmbeddedFileDocumentHelper files(source);
    if (files.hasEmbeddedFiles()) {
        const std::string prefix = std::to_string(number) + " - ";
        for (const auto &[name, fileSpec] : files.getEmbeddedFiles()) {
            QPDFObjectHandle spec = fileSpec->getObjectHandle();
            if (!spec.isIndirect())
                spec = source.makeIndirectObject(spec);
            bundleFiles.replaceEmbeddedFile(prefix + name, QPDFFileSpecObjectHelper(bundle.copyForeignObject(spec)));
        }
    }
    QPDFObjectHandle associated = source.getRoot().getKey("/AF");
    if (!associated.isArray())
        return;
    QPDFObjectHandle root = bundle.getRoot();
    QPDFObjectHandle bundleAssociated = root.getKey("/AF");
    if (!bundleAssociated.isArray()) {
        bundleAssociated = QPDFObjectHandle::newArray();
        root.replaceKey("/AF", bundleAssociated);
    }
    for (QPDFObjectHandle spec : associated.aitems()) {
        if (spec.isIndirect())
            bundleAssociated.appendItem(bundle.copyForeignObject(spec));
    }
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

/// `object` of another PDF in `bundle`: indirect objects copied (once), direct ones rebuilt.
QPDFObjectHandle copyInto(QPDF &bundle, QPDFObjectHandle object)
{
    if (object.isIndirect())
        return bundle.copyForeignObject(object);
    if (object.isDictionary()) {
        QPDFObjectHandle copy = QPDFObjectHandle::newDictionary();
        for (auto &[key, value] : object.ditems())
            copy.replaceKey(key, copyInto(bundle, value));
        return copy;
    }
    if (object.isArray()) {
        QPDFObjectHandle copy = QPDFObjectHandle::newArray();
        for (QPDFObjectHandle item : object.aitems())
            copy.appendItem(copyInto(bundle, item));
        return copy;
    }
    return object.shallowCopy();
}

/// Page `stampPage` of the stamp PDF as a form XObject of `bundle`. Its content goes into the
/// form as bytes (a few dozen), rather than through qpdf's getFormXObjectForPage, whose form
/// keeps the stamp page's objects alive for each of thousands of pages.
QPDFObjectHandle stampForm(QPDF &bundle, QPDFObjectHandle stampPage)
{
    QPDFObjectHandle contents = stampPage.getKey("/Contents");
    if (!contents.isStream())
        return bundle.copyForeignObject(QPDFPageObjectHelper(stampPage).getFormXObjectForPage());
    const std::shared_ptr<Buffer> raw = contents.getRawStreamData();
    QPDFObjectHandle form = QPDFObjectHandle::newStream(
        &bundle, std::string(reinterpret_cast<const char *>(raw->getBuffer()), raw->getSize()));
    QPDFObjectHandle dictionary = form.getDict();
    dictionary.replaceKey("/Type", QPDFObjectHandle::newName("/XObject"));
    dictionary.replaceKey("/Subtype", QPDFObjectHandle::newName("/Form"));
    dictionary.replaceKey("/BBox", stampPage.getKey("/MediaBox").shallowCopy());
    dictionary.replaceKey("/Resources", copyInto(bundle, stampPage.getKey("/Resources")));
    for (const char *key : {"/Filter", "/DecodeParms"}) {
        if (QPDFObjectHandle value = contents.getDict().getKey(key); !value.isNull())
            dictionary.replaceKey(key, copyInto(bundle, value));
    }
    return form;
}

/// Places page `stampPage` of the stamp PDF on top of `page`, in a graphics state of its own.
void placeStamp(QPDF &bundle, QPDFObjectHandle page, QPDFObjectHandle stampPage, const QPDFObjectHandle &saveState)
{
    const QPDFObjectHandle form = stampForm(bundle, stampPage);
    // Copies, so that pages sharing one resource dictionary each get their own stamp.
    QPDFObjectHandle resources = page.getKey("/Resources");
    resources = resources.isDictionary() ? resources.shallowCopy() : QPDFObjectHandle::newDictionary();
    QPDFObjectHandle xObjects = resources.getKey("/XObject");
    xObjects = xObjects.isDictionary() ? xObjects.shallowCopy() : QPDFObjectHandle::newDictionary();
    std::string name = kStampResourceName;
    while (xObjects.hasKey(name))
        name += "_";
    xObjects.replaceKey(name, form);
    resources.replaceKey("/XObject", xObjects);
    page.replaceKey("/Resources", resources);

    QPDFPageObjectHelper target(page);
    const std::string placement =
        target.placeFormXObject(form, name, page.getKey("/MediaBox").getArrayAsRectangle(), true, true, true);
    // The page's own content may leave its graphics state changed: wrap it in q … Q first.
    target.addPageContents(saveState, true);
    target.addPageContents(QPDFObjectHandle::newStream(&bundle, "\nQ\n" + placement + "\n"), false);
}

struct PageStampsOfPart
{
    std::vector<PageStamp> stamps;
    std::vector<std::size_t> pages; ///< the page each stamp goes on
};

PageStampsOfPart stampsFor(const BundlePart &part, std::vector<QPDFObjectHandle> &pages, std::size_t contentsPageCount,
                           AssembledPart &assembled)
{
    PageStampsOfPart result;
    const std::size_t messagePageCount = pages.size() - contentsPageCount;
    for (std::size_t i = 0; i < pages.size(); ++i) {
        const bool isContents = i < contentsPageCount;
        PageStamp stamp;
        if (part.pageNumbers) {
            stamp.centre = isContents ? "page " + lowerRoman(int(i + 1)) + " of " + lowerRoman(int(contentsPageCount))
                                      : "page " + std::to_string(i - contentsPageCount + 1) + " of " +
                                            std::to_string(messagePageCount);
        }
        if (part.bates && !isContents)
            stamp.right =
                batesText(*part.bates, part.bates->first + (i - contentsPageCount), assembled.batesOverflowed);
        if (stamp.centre.empty() && stamp.right.empty())
            continue;
        const QPDFObjectHandle::Rectangle box = pages[i].getKey("/MediaBox").getArrayAsRectangle();
        stamp.widthPoints = box.urx - box.llx;
        stamp.heightPoints = box.ury - box.lly;
        result.stamps.push_back(std::move(stamp));
        result.pages.push_back(i);
    }
    return result;
}

/// Stamps `pages` as `part` asks. The stamp PDF's parsed objects go when it returns (what the
/// bundle needs of them is copied), its bytes stay in `stampsPdf`.
Result<void> addStamps(QPDF &bundle, const BundlePart &part, std::vector<QPDFObjectHandle> &pages,
                       std::size_t contentsPageCount, AssembledPart &assembled, QByteArray &stampsPdf)
{
    const PageStampsOfPart stamps = stampsFor(part, pages, contentsPageCount, assembled);
    if (stamps.stamps.empty())
        return {};
    Result<QByteArray> drawn = PageStamps::draw(stamps.stamps);
    if (!drawn)
        return drawn.error();
    stampsPdf = std::move(drawn.value());
    QPDF stampSource;
    stampSource.processMemoryFile("stamps", stampsPdf.constData(), std::size_t(stampsPdf.size()));
    const std::vector<QPDFObjectHandle> &stampPages = stampSource.getAllPages();
    const QPDFObjectHandle saveState = QPDFObjectHandle::newStream(&bundle, "q\n");
    for (std::size_t k = 0; k < stamps.pages.size(); ++k)
        placeStamp(bundle, pages[stamps.pages[k]], stampPages[k], saveState);
    return {};
}

/// Replaces `destination` with the pending file's contents, as one rename.
Result<void> commit(PendingFile &pending, const FileInFolder &destination)
{
    // PendingFile never replaces a name: the earlier bundle goes just before its successor
    // takes its name, so a reader never sees a partial file under it.
    if (destination.folder.holdsFile(destination.name)) {
        if (Result<void> removed = destination.folder.remove(destination.name); !removed)
            return removed;
    }
    Result<std::string> name = pending.commitAs(destination.name);
    if (!name)
        return name.error();
    if (name.value() != destination.name) {
        (void)destination.folder.remove(name.value()); // our own file; its error is not the one to report
        return Error{"cannot write '" + destination.path() + "': something else took the name"};
    }
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
            return contents.error().within("cannot make '" + destination.path() + "': ");
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
            return stamped.error().within("cannot make '" + destination.path() + "': ");

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
            return sink.failure()->within("cannot make '" + destination.path() + "': ");
        // qpdf writes on past stream data it could not read (a message PDF gone or changed
        // since it was read), leaving it out: such a bundle is not kept.
        if (const std::vector<QPDFExc> warnings = bundle.getWarnings(); !warnings.empty())
            return Error{"cannot make '" + destination.path() + "': " + warnings.front().what()};
        if (Result<void> committed = commit(pending.value(), destination); !committed)
            return committed.error();
        return assembled;
    } catch (const std::exception &error) {
        return Error{"cannot make '" + destination.path() + "': " + error.what()};
    }
}

} // namespace tessaly
