// Where a mailbox's PDFs go: below the output folder, repeating the mailbox's own path.
#pragma once

#include "support/FolderHandle.h"
#include "support/Result.h"

#include <string>
#include <vector>

namespace tessaly {

/// The output folder of the mailbox at `mailboxPath`: `outputFolder` followed by the
/// mailbox's absolute path without its root (the "/", the drive, or the UNC server and
/// share), so "/home/ann/Mail/x.mbox" below "/out" is "/out/home/ann/Mail/x.mbox". No
/// trailing separator. The mailbox "mbox" of an Apple Mail export (a folder "Inbox.mbox") has
/// the export's own: "/home/ann/Inbox.mbox/mbox" gives "/out/home/ann/Inbox.mbox". A source
/// folder may end in a separator; a Maildir++ folder ".A.B" of a Maildir "/home/ann/Maildir"
/// gives "/out/home/ann/Maildir/A/B".
///
/// Fails when that folder would be the mailbox file itself (the output folder is the root
/// the mailbox lies on) or when the path has nothing below its root.
Result<std::string> mailboxOutputFolder(const std::string &outputFolder, const std::string &mailboxPath);

/// A mailbox's output folder, made where missing and held open for its mailbox: below the
/// output folder (the user's choice, made too) no link is followed, and every file of the
/// mailbox is made through this handle.
class MailboxFolder
{
public:
    /// Fails with the reason, having removed again what it made, when a folder cannot be made
    /// or opened.
    static Result<MailboxFolder> open(const std::string &outputFolder, const std::string &mailboxPath);

    const FolderHandle &handle() const { return m_folder; }
    /// Its path, without a trailing separator.
    const std::string &path() const { return m_path; }
    /// Removes the folders `open` made that are still empty.
    void removeMadeFoldersIfEmpty() const;

private:
    MailboxFolder(FolderHandle root, FolderHandle folder, std::string path, std::vector<std::string> made);

    FolderHandle m_root;
    FolderHandle m_folder;
    std::string m_path;
    std::vector<std::string> m_made;
};

} // namespace tessaly
