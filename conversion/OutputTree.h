// Where a mailbox's PDFs go: below the output folder, repeating the mailbox's own path.
#pragma once

#include "support/Result.h"

#include <string>

namespace tessaly {

/// The output folder of the mailbox at `mailboxPath`: `outputFolder` followed by the
/// mailbox's absolute path without its root (the "/", the drive, or the UNC server and
/// share), so "/home/ann/Mail/x.mbox" below "/out" is "/out/home/ann/Mail/x.mbox". No
/// trailing separator.
///
/// Fails when that folder would be the mailbox file itself (the output folder is the root
/// the mailbox lies on) or when the path has nothing below its root.
Result<std::string> mailboxOutputFolder(const std::string &outputFolder, const std::string &mailboxPath);

} // namespace tessaly
