// Counting the pages of a PDF in memory.
#pragma once

#include "support/Result.h"

#include <QByteArray>

namespace tessaly {

/// The number of pages of `pdf`; an Error (not an exception) when qpdf cannot read it.
Result<int> countPdfPages(const QByteArray &pdf);

} // namespace tessaly
