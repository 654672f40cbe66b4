// Putting the page and Bates stamps of a bundle part on its pages with qpdf.
#pragma once

#include "platform/BundleAssembler.h"
#include "support/Result.h"

#include <QByteArray>

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>

#include <cstdint>
#include <string>
#include <vector>

namespace tessaly {

/// The Bates number `number`, zero-padded to the numbering's width; `overflowed` is set when
/// it needs more digits than that, and the number is then written in full.
std::string batesText(const BatesNumbering &bates, std::uint64_t number, bool &overflowed);

/// Stamps `pages` (the part's first `contentsPageCount` are its contents) as `part` asks:
/// "page X of Y" at the foot's centre, counted as the page labels count (the contents
/// "page ii of iii", the message pages "page 5 of 120"), and Bates numbers at the foot's
/// right on message pages. Each stamp is drawn by PageStamps on a page of the stamped page's
/// size and laid on top as a form XObject, in a graphics state of its own. The stamp PDF's
/// parsed objects go when this returns; its bytes, which the bundle's copies of its fonts are
/// read from when the bundle is written, stay in `stampsPdf`. Sets
/// `assembled.batesOverflowed`. Fails when the stamps cannot be drawn; throws what qpdf throws.
Result<void> addStamps(QPDF &bundle, const BundlePart &part, std::vector<QPDFObjectHandle> &pages,
                       std::size_t contentsPageCount, AssembledPart &assembled, QByteArray &stampsPdf);

} // namespace tessaly
