// The temporary message file that holds one message between splitting and conversion.
#pragma once

#include "conversion/MessageCollector.h"
#include "support/FolderHandle.h"
#include "support/Result.h"

#include <string>
#include <string_view>

namespace tessaly {

/// "email-" + number + ".eml".
std::string messageFileName(int messageNumber);

/// Writes the text of `message` followed by CR LF to "email-N.eml" in `folder` and returns its
/// place. A message too long to hold in memory is already in its file (made in `folder`), which
/// gets the CR LF and the name: its text is never held whole.
///
/// The file is written under a temporary name and then renamed, never replacing a file: a
/// message file kept from an earlier failed conversion (of this run or an earlier one) stays
/// as it is, and this message gets "email-N (2).eml" and so on instead. An "email-N.eml" that
/// already holds exactly these bytes (left by a run killed while converting this message) is
/// this message's file, and is returned as it is.
Result<FileInFolder> writeMessageFile(const FolderHandle &folder, int messageNumber, const SplitMessage &message);

/// Deletes a message file if it exists. A missing file is no error.
Result<void> removeMessageFile(const FileInFolder &file);

} // namespace tessaly
