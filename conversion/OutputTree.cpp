#include "conversion/OutputTree.h"

#include "conversion/MessageFolder.h"
#include "support/PathHelpers.h"
#include "support/Utf8.h"

#include <filesystem>
#include <string_view>
#include <system_error>
#include <utility>

namespace tessaly {
namespace {

std::filesystem::path normalised(const std::string &path)
{
    std::error_code error;
    std::filesystem::path absolute = std::filesystem::absolute(toFsPath(path), error);
    if (error)
        absolute = toFsPath(path);
    return absolute.lexically_normal();
}

} // namespace

Result<std::string> mailboxOutputFolder(const std::string &outputFolder, const std::string &mailboxPath)
{
    std::string mailbox = fromFsPath(normalised(mailboxPath));
    // A source folder is named with a trailing separator; its output folder has none.
    while (mailbox.size() > 1 && (mailbox.back() == '/' || mailbox.back() == '\\'))
        mailbox.pop_back();
    std::string below = pathWithoutRoot(mailbox);
    // An Apple Mail export is a folder "<name>.mbox" holding the mailbox "mbox": its PDFs go
    // in a folder of the export's name.
    const std::filesystem::path asPath = toFsPath(below);
    if (asPath.filename() == "mbox" && asPath.has_parent_path() &&
        asciiLowercase(fromFsPath(asPath.parent_path().extension())) == ".mbox")
        below = fromFsPath(asPath.parent_path());
    // A Maildir++ folder ".A.B" inside a Maildir holds the Maildir's folder B inside A.
    const std::string name = fromFsPath(asPath.filename());
    if (name.size() > 1 && name[0] == '.' && asPath.has_parent_path() && isMaildir(mailbox) &&
        isMaildir(fromFsPath(toFsPath(mailbox).parent_path()))) {
        std::filesystem::path nested = asPath.parent_path();
        std::size_t start = 1;
        while (start <= name.size()) {
            const std::size_t dot = std::min(name.find('.', start), name.size());
            if (dot > start)
                nested /= toFsPath(name.substr(start, dot - start));
            start = dot + 1;
        }
        below = fromFsPath(nested);
    }
    if (below.empty())
        return Error{"'" + mailboxPath + "' names no file below its root", FailureKind::NotAMailbox};

    const std::string folder = joinPath(outputFolder, below);
    if (normalised(folder) == normalised(mailbox))
        return Error{"the output folder for this mailbox would be the mailbox file itself; choose another "
                     "output folder",
                     FailureKind::NameConflict};
    return folder;
}

MailboxFolder::MailboxFolder(FolderHandle root, FolderHandle folder, std::string path, std::vector<std::string> made)
    : m_root(std::move(root)), m_folder(std::move(folder)), m_path(std::move(path)), m_made(std::move(made))
{
}

Result<MailboxFolder> MailboxFolder::open(const std::string &outputFolder, const std::string &mailboxPath)
{
    Result<std::string> path = mailboxOutputFolder(outputFolder, mailboxPath);
    if (!path)
        return path.error();
    if (!EnsureFolder(outputFolder))
        return Error{"cannot create the output folder '" + outputFolder + "'", FailureKind::Unwritable};
    Result<FolderHandle> root = FolderHandle::open(outputFolder);
    if (!root)
        return root.error().within("cannot create the output folder: ");
    std::vector<std::string> made;
    Result<FolderHandle> folder =
        root.value().openBelow(std::string_view(path.value()).substr(outputFolder.size()), &made);
    if (!folder) {
        root.value().removeEmptyFolders(made);
        return folder.error().within("cannot create the output folder: ");
    }
    return MailboxFolder(std::move(root.value()), std::move(folder.value()), std::move(path.value()), std::move(made));
}

void MailboxFolder::removeMadeFoldersIfEmpty() const
{
    m_root.removeEmptyFolders(m_made);
}

} // namespace tessaly
