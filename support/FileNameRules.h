// Rules every file name this program makes obeys, whether for a PDF or for an attachment.
#pragma once

#include <string>
#include <string_view>

namespace tessaly {

/// True for the bidirectional embedding, override and isolate controls (U+202A to U+202E,
/// U+2066 to U+2069) and the marks LRM, RLM and ALM (U+200E, U+200F, U+061C): invisible, they
/// make a name read otherwise than it is ("\u202Efdp.exe" shows as "exe.pdf"; a mark between
/// digits and letters reorders them too).
bool isBidiControl(char32_t c);

/// `utf8` without the characters isBidiControl names.
std::string withoutBidiControls(std::string_view utf8);

/// True when Windows would open a file of this name as a device: CON, PRN, AUX, NUL, CONIN$,
/// CONOUT$, COM0-9 and LPT0-9 (also with the superscript digits), in any letter case,
/// whatever extension follows ("CON.pdf", "com1.tar.gz") and with blanks before the dot.
bool isWindowsDeviceName(std::string_view name);

/// "name (n).ext" for `path` (a file name, or a path whose folders stay as they are): the form given to the n-th file
/// that wants an existing name. The extension is what follows the last dot of the file name, unless that dot leads it.
std::string numberedVariant(const std::string &path, int n);

} // namespace tessaly
