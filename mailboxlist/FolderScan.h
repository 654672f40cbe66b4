// Finding the mailbox files under a folder, for the window and the command line alike.
#pragma once

#include "mailboxlist/pathLogger.h"

#include <functional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace tessaly {

/// True when `path`, trimmed of blanks and in lower case, ends in ".mbox" or ".mbx".
/// "Inbox.MBOX" matches; "Inbox.mboxes" and "Inbox.mbox.old" do not.
bool isMailboxFileName(std::string_view path);

/// Whether the file at `path`, found by a folder scan beside the files `filesFound` (full
/// paths), is a mailbox:
/// - its name ends in ".mbox" or ".mbx" (isMailboxFileName);
/// - it is the "mbox" file of an Apple Mail export, a folder named "<name>.mbox";
/// - it is a Thunderbird folder: a name without an extension, with a "<name>.msf" index beside
///   it or lying in a "<parent>.sbd" folder;
/// - or a name without an extension whose first line is a "From " line followed by a header
///   line (`readStart` gives the file's first bytes).
/// Anything else (a binary file, an .msf index alone, a letter that opens "From the desk of")
/// is not taken.
bool isMailboxFile(const std::string &path, const std::set<std::string> &filesFound,
                   const std::function<std::string(const std::string &)> &readStart);

/// Whether `text`, the start of a file, opens with a "From " line followed by a header line.
bool opensWithEnvelopeAndHeader(std::string_view text);

/// The first bytes of the file at `path` (enough for opensWithEnvelopeAndHeader); "" when it
/// cannot be read.
std::string readFileStart(const std::string &path);

/// The mailboxes among `files`, as found by a walk, in their order (see isMailboxFile).
std::vector<std::string>
mailboxesAmong(const std::vector<std::string> &files,
               const std::function<std::string(const std::string &)> &readStart = readFileStart);

/// The mail sources a walk found, given every folder it visited (`folders`, each ending in a
/// separator, in walking order) and every file (`files`, full paths, in walking order):
/// - a Maildir: a folder holding "cur" and "new" folders. Nothing inside it is another source
///   but its Maildir++ folders (".A.B" directly in it, themselves holding cur and new);
/// - a folder of .eml files: one holding ".eml" files directly, that is no Maildir;
/// - the mailboxes among the files (see isMailboxFile) that lie in no Maildir.
/// A folder source is named by its path with the trailing separator; each folder's own
/// sources come in walking order, the folder before the mailboxes in it.
std::vector<std::string>
mailSourcesAmong(const std::vector<std::string> &folders, const std::vector<std::string> &files,
                 const std::function<std::string(const std::string &)> &readStart = readFileStart);

struct FolderScanResult
{
    /// Mail source paths (see mailSourcesAmong) in walking order (breadth first, each folder in listing order),
    /// in the file system's own letter case.
    std::vector<std::string> mailboxes;
    /// Folders that could not be listed and were skipped.
    int unreadableFolders = 0;
};

/// Every mail source in `folder` and below, `folder` itself included (see mailSourcesAmong). A folder that does not
/// exist gives no mailboxes.
FolderScanResult scanFolderForMailboxes(const std::string &folder, FolderLister lister = listFolder);

/// "3 Files Added to List.", followed by a line about the folders that could not be read
/// when there were any.
std::string folderScanMessage(int added, int unreadableFolders);

} // namespace tessaly
