// Finding the mailbox files under a folder, for the window and the command line alike.
#pragma once

#include "mailboxlist/pathLogger.h"

#include <string>
#include <string_view>
#include <vector>

namespace tessaly {

/// True when `path`, trimmed of blanks and in lower case, ends in ".mbox" or ".mbx".
/// "Inbox.MBOX" matches; "Inbox.mboxes" and "Inbox.mbox.old" do not.
bool isMailboxFileName(std::string_view path);

struct FolderScanResult
{
    /// Mailbox paths in walking order (breadth first, each folder in listing order),
    /// in the file system's own letter case.
    std::vector<std::string> mailboxes;
    /// Folders that could not be listed and were skipped.
    int unreadableFolders = 0;
};

/// Every mailbox file in `folder` and below. A folder that does not exist gives no mailboxes.
FolderScanResult scanFolderForMailboxes(const std::string &folder, FolderLister lister = listFolder);

/// "3 Files Added to List.", followed by a line about the folders that could not be read
/// when there were any.
std::string folderScanMessage(int added, int unreadableFolders);

} // namespace tessaly
