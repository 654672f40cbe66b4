// Marks that tie a file to the message it was made from, kept with the file itself.
#pragma once

#include "support/FolderHandle.h"
#include "support/OpenFile.h"

#include <string>
#include <string_view>

namespace tessaly {

/// A run killed after it named a message's output and before it recorded it leaves that output
/// unrecorded; the resumed run converts the message again. The mark lets it tell that earlier
/// output (same message, so the same content) from a file that merely has the same name, and
/// take its name again instead of writing a second copy beside it.
///
/// Marks are extended attributes where the file system keeps them. Elsewhere (Windows, file
/// systems without them) setting one does nothing and every file reads as unmarked: a resumed
/// run then writes such an output again under a numbered name, and nothing is lost.

/// Marks `file` with `mark`; an empty mark, or a file system without marks, changes nothing.
void setFileMark(const OpenFile &file, std::string_view mark);
/// The mark of `file`; "" when it has none.
std::string fileMark(const OpenFile &file);
/// The mark of the plain file `name` in `folder`; "" when it has none or is no plain file.
std::string fileMark(const FolderHandle &folder, std::string_view name);

} // namespace tessaly
