// Copying a message PDF's pages and embedded files into a bundle with qpdf.
#pragma once

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFEmbeddedFileDocumentHelper.hh>
#include <qpdf/QPDFObjectHandle.hh>

#include <vector>

namespace tessaly {

/// Copies the pages of `source` into `bundle`, as plain objects that the caller puts in the
/// bundle's page tree (without /Parent). Their links keep reaching the pages they reach in
/// `source`: named destinations become the explicit ones they name (the names live in the
/// message's catalog, which the bundle does not take over), and annotations are copied after
/// all pages, since qpdf copies a reference to a page it has not copied yet as null.
/// Changes `source`. Throws what qpdf throws.
std::vector<QPDFObjectHandle> copyPages(QPDF &bundle, QPDF &source);

/// Renames the embedded files of `source` to "<number> - <name>" (/UF and /F). Call it before
/// anything of `source` is copied: a copy already made would not see the change.
void prefixEmbeddedFileNames(QPDF &source, int number);

/// Carries the embedded files of message `number` into `bundleFiles` under prefixed names,
/// their bytes as they are, and the catalog's associated files (the message source, with its
/// AFRelationship) into the bundle's /AF.
void carryEmbeddedFiles(QPDF &bundle, QPDF &source, int number, QPDFEmbeddedFileDocumentHelper &bundleFiles);

} // namespace tessaly
