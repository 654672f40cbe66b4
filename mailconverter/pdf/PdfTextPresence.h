// Whether a rendered PDF holds any text a reader can see and copy.
#pragma once

#include "support/Result.h"

#include <QByteArray>

namespace tessaly {

/// Whether any page of `pdf` draws text: a text-showing operator (Tj, TJ, ' or ") with at
/// least one character code, in a font that carries its glyphs (an embedded font program,
/// or a Type 3 font). Form XObjects a page draws are searched too. Pages are read in order
/// and the search stops at the first such operator, so a PDF with text on its first page
/// costs little more than opening it. An Error when qpdf cannot read the PDF.
Result<bool> pdfDrawsText(const QByteArray &pdf);

} // namespace tessaly
