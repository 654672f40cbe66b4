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

/// The SHA-256 of all of `file`, read in bounded chunks from its start, in lower-case hex.
Result<std::string> fileDigest(const OpenFile &file);
/// The mark of the outputs of the message held in the message file `messageFileName`, whose
/// bytes have the SHA-256 `digest` (hex). The file's name tells apart two copies of one message
/// in a mailbox; the digest tells this message from another one that had that file before.
/// Short, so that the file system keeps it in the file's own entry, at no extra cost.
std::string messageMark(std::string_view digest, std::string_view messageFileName);

/// The mark a commit gives its file, and whether a file under the name with the same mark, an
/// earlier copy that a killed run left unrecorded, is replaced rather than kept beside it. Only
/// a run that resumes replaces: one that converts everything again keeps what it finds.
struct CommitMark
{
    std::string_view mark;
    bool replacesEarlierCopy = false;
};

/// Marks `file` with `mark`; an empty mark, or a file system without marks, changes nothing.
void setFileMark(const OpenFile &file, std::string_view mark);
/// The mark of `file`; "" when it has none.
std::string fileMark(const OpenFile &file);
/// The mark of the plain file `name` in `folder`; "" when it has none or is no plain file.
std::string fileMark(const FolderHandle &folder, std::string_view name);

} // namespace tessaly
