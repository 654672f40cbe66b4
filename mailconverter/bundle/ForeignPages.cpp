#include "mailconverter/bundle/ForeignPages.h"

#include <qpdf/QPDFFileSpecObjectHelper.hh>
#include <qpdf/QPDFNameTreeObjectHelper.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>

namespace tessaly {
namespace {

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

} // namespace

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

void prefixEmbeddedFileNames(QPDF &source, int number)
{
    QPDFEmbeddedFileDocumentHelper files(source);
    if (!files.hasEmbeddedFiles())
        return;
    const std::string prefix = std::to_string(number) + " - ";
    for (const auto &[name, fileSpec] : files.getEmbeddedFiles()) {
        QPDFObjectHandle fileObject = fileSpec->getObjectHandle();
        if (QPDFObjectHandle unicode = fileObject.getKey("/UF"); unicode.isString())
            fileObject.replaceKey("/UF", QPDFObjectHandle::newUnicodeString(prefix + unicode.getUTF8Value()));
        if (QPDFObjectHandle ascii = fileObject.getKey("/F"); ascii.isString())
            fileObject.replaceKey("/F", QPDFObjectHandle::newString(prefix + ascii.getStringValue()));
    }
}

void carryEmbeddedFiles(QPDF &bundle, QPDF &source, int number, QPDFEmbeddedFileDocumentHelper &bundleFiles)
{
    QPDFEmbeddedFileDocumentHelper files(source);
    if (files.hasEmbeddedFiles()) {
        const std::string prefix = std::to_string(number) + " - ";
        for (const auto &[name, fileSpec] : files.getEmbeddedFiles()) {
            QPDFObjectHandle fileObject = fileSpec->getObjectHandle();
            if (!fileObject.isIndirect())
                fileObject = source.makeIndirectObject(fileObject);
            bundleFiles.replaceEmbeddedFile(prefix + name,
                                            QPDFFileSpecObjectHelper(bundle.copyForeignObject(fileObject)));
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
    for (QPDFObjectHandle fileObject : associated.aitems()) {
        if (fileObject.isIndirect())
            bundleAssociated.appendItem(bundle.copyForeignObject(fileObject));
    }
}

} // namespace tessaly
