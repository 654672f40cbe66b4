// The contents pages at the front of a bundle: its title and one line per message.
#pragma once

#include "mailconverter/textpages/TextPageWriter.h"
#include "platform/BundleAssembler.h"
#include "support/Result.h"

#include <QByteArray>

#include <vector>

namespace tessaly {

/// The contents list of one bundle part, drawn by TextPageWriter on the converter's paper.
struct ContentsPages
{
    QByteArray pdf;
    /// Where each message's line landed, one per BundlePart::messages; the links go there.
    std::vector<TextPlacement> lines;

    /// Draws the title ("part K of N" below it when the bundle is split), then for each message
    /// its number, date, from, subject (shortened to keep the line to one), where it starts
    /// (its first page, or its first Bates number when `placed` has them) and its attachment
    /// count. A message without a PDF has its failure text on a line below instead of a page.
    /// `placed` holds one entry per message. Fails only when Cairo cannot write the PDF.
    static Result<ContentsPages> draw(const BundlePart &part, const std::vector<AssembledMessage> &placed);
};

} // namespace tessaly
