#include "mailconverter/bundle/StampPlacement.h"

#include "mailconverter/bundle/PageStamps.h"

#include <qpdf/Buffer.hh>
#include <qpdf/QPDFPageObjectHelper.hh>

#include <string>

namespace tessaly {
namespace {

constexpr const char *kStampResourceName = "/TessalyStamp";

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

/// The part of `page` a viewer shows and a printer prints: its crop box, else its media box.
QPDFObjectHandle::Rectangle visibleBox(QPDFObjectHandle page)
{
    return QPDFPageObjectHelper(page).getCropBox().getArrayAsRectangle();
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
    const std::string placement = target.placeFormXObject(form, name, visibleBox(page), true, true, true);
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
        const QPDFObjectHandle::Rectangle box = visibleBox(pages[i]);
        stamp.widthPoints = box.urx - box.llx;
        stamp.heightPoints = box.ury - box.lly;
        result.stamps.push_back(std::move(stamp));
        result.pages.push_back(i);
    }
    return result;
}

} // namespace

std::string batesText(const BatesNumbering &bates, std::uint64_t number, bool &overflowed)
{
    std::string digits = std::to_string(number);
    if (digits.size() > std::size_t(bates.digits))
        overflowed = true;
    else
        digits.insert(0, std::size_t(bates.digits) - digits.size(), '0');
    return bates.prefix + digits;
}

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

} // namespace tessaly
