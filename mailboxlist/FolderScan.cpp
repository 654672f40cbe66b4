#include "mailboxlist/FolderScan.h"

namespace tessaly {

bool isMailboxFileName(std::string_view path)
{
    const std::size_t first = path.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return false;
    const std::size_t last = path.find_last_not_of(' ');
    path = path.substr(first, last - first + 1);

    const auto endsWith = [path](std::string_view suffix) {
        if (path.size() < suffix.size())
            return false;
        const std::string_view tail = path.substr(path.size() - suffix.size());
        for (std::size_t i = 0; i < suffix.size(); ++i) {
            char c = tail[i];
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
            if (c != suffix[i])
                return false;
        }
        return true;
    };
    return endsWith(".mbox") || endsWith(".mbx");
}

FolderScanResult scanFolderForMailboxes(const std::string &folder, FolderLister lister)
{
    pathLogger walker(std::move(lister));
    walker.PathLogInit();
    walker.setFullFileNamesOnly(true);
    walker.LogPath(folder);

    FolderScanResult result;
    result.unreadableFolders = walker.unreadableFolderCount();
    for (const std::string &path : walker.fullFileNames()) {
        if (isMailboxFileName(path))
            result.mailboxes.push_back(path);
    }
    return result;
}

std::string folderScanMessage(int added, int unreadableFolders)
{
    std::string text = std::to_string(added) + " Files Added to List.";
    if (unreadableFolders == 1)
        text += "\n1 folder could not be read and was skipped.";
    else if (unreadableFolders > 1)
        text.append("\n")
            .append(std::to_string(unreadableFolders))
            .append(" folders could not be read and were skipped.");
    return text;
}

} // namespace tessaly
