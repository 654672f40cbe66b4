// The bundle assembler that joins message PDFs with qpdf.
#pragma once

#include "platform/BundleAssembler.h"

namespace tessaly {

/// Joins a part's message PDFs with qpdf: contents pages first (ContentsPages), each line a link
/// to its message's first page; then each message's pages as converted, with their links and
/// annotations, and their embedded files carried into the bundle's own list under names
/// prefixed by the message number ("12 - report.pdf"; the message source keeps
/// AFRelationship /Source and its place in the catalog's /AF). One bookmark per message
/// ("date – from – subject"), the outline shown on opening, and page labels i, ii, … for
/// the contents and 1, 2, … for the messages' pages.
///
/// Stamps, when asked, go in the bottom margin of each page, as form XObjects drawn on top:
/// "page X of Y" counts by the page labels (the contents pages "page ii of iii", the message
/// pages "page 5 of 120" over the part's message pages), so a stamp reads as the contents
/// list and the viewer's page number do; Bates numbers stamp message pages only.
///
/// Each message PDF is read once, through a source that opens its file only while reading
/// it, and its parsed objects are let go once its pages are copied: the copies keep only
/// where their stream data is, which is read again when the bundle is written. Memory so
/// grows with the part's pages and objects, not its bytes, and a part of 10,000 messages
/// needs no more than a few descriptors.
class QpdfBundleAssembler : public BundleAssembler
{
public:
    Result<AssembledPart> assemble(const BundlePart &part, const FileInFolder &destination) override;
};

} // namespace tessaly
