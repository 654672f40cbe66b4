// Makes letters with combining marks on Chromium's pages copy and search as typed.
#pragma once

class QPDF;

namespace tessaly {

/// Repairs the /ActualText spans Chromium (Skia) writes around a letter and its combining marks
/// (Arabic vowel marks, Hebrew points, any Unicode Mn) in right-to-left runs (/ReversedChars),
/// so that poppler gives the word back whole:
/// - Skia draws such a cluster's marks before its letter, and poppler places the span's text
///   where its first glyph is, off the line and apart from the word. An invisible copy of the
///   letter (text render mode 3) is drawn first, where the letter is.
/// - Poppler reverses a right-to-left line but keeps a span's text in the order given when the
///   text holds a mark, so the span's text is given reversed.
/// Left to right, Skia draws the letter first and poppler needs nothing. Only pages using a font
/// whose /ToUnicode maps a glyph to a mark are read; only spans whose text holds a mark and whose
/// glyphs are drawn one by one (Td, Tj) change, and nothing visible moves. Form XObjects are left
/// alone. Returns how many spans changed; throws what qpdf throws.
int repairMarkedText(QPDF &pdf);

} // namespace tessaly
