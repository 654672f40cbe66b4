// The text a mailbox holds before its first message, kept beside its messages.
#pragma once

#include "conversion/MailboxFileReader.h"
#include "support/FolderHandle.h"
#include "support/Result.h"

#include <string>

namespace tessaly {

/// The name the leading text of the mailbox `mailboxPath` is kept under in its output folder:
/// "<mailbox file name> leading text.txt".
std::string leadingTextFileName(const std::string &mailboxPath);

/// Copies what `leadingText` reads (the mailbox's bytes before its first envelope line), as
/// they are, into leadingTextFileName in `folder`, committed as a message's outputs are. A file
/// of the same name is kept (the copy gets a numbered name), unless `replacesEarlierCopy` and it
/// is this text's earlier copy. Returns the path it got.
Result<std::string> keepLeadingText(MailboxFileReader &leadingText, const std::string &mailboxPath,
                                    const FolderHandle &folder, bool replacesEarlierCopy);

} // namespace tessaly
