#include "mailboxlist/FolderScan.h"

#include "support/PathHelpers.h"

#include <algorithm>
#include <fstream>
#include <map>

namespace tessaly {
namespace {

/// Enough of a file for its envelope line and the header line after it.
constexpr std::size_t kStartBytes = 4096;

bool endsWithIgnoringCase(std::string_view text, std::string_view suffix)
{
    if (text.size() < suffix.size())
        return false;
    const std::string_view tail = text.substr(text.size() - suffix.size());
    for (std::size_t i = 0; i < suffix.size(); ++i) {
        char c = tail[i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != suffix[i])
            return false;
    }
    return true;
}

/// The line at `at` of `text`, without its line break, and where the next one starts.
std::string_view lineAt(std::string_view text, std::size_t at, std::size_t &next)
{
    const std::size_t end = std::min(text.find('\n', at), text.size());
    next = end < text.size() ? end + 1 : end;
    std::string_view line = text.substr(at, end - at);
    if (line.ends_with('\r'))
        line.remove_suffix(1);
    return line;
}

/// "Name: value" with a field name of printable characters other than the colon.
bool isHeaderLine(std::string_view line)
{
    const std::size_t colon = line.find(':');
    if (colon == 0 || colon == std::string_view::npos)
        return false;
    for (char c : line.substr(0, colon)) {
        if (c <= ' ' || c > '~')
            return false;
    }
    return true;
}

} // namespace

bool isMailboxFileName(std::string_view path)
{
    const std::size_t first = path.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return false;
    const std::size_t last = path.find_last_not_of(' ');
    path = path.substr(first, last - first + 1);

    return endsWithIgnoringCase(path, ".mbox") || endsWithIgnoringCase(path, ".mbx");
}

bool opensWithEnvelopeAndHeader(std::string_view text)
{
    std::size_t next = 0;
    if (!lineAt(text, 0, next).starts_with("From "))
        return false;
    std::size_t after = 0;
    return next < text.size() && isHeaderLine(lineAt(text, next, after));
}

std::string readFileStart(const std::string &path)
{
    std::ifstream file(toFsPath(path), std::ios::binary);
    std::string start(kStartBytes, '\0');
    file.read(start.data(), static_cast<std::streamsize>(start.size()));
    start.resize(static_cast<std::size_t>(std::max<std::streamsize>(file.gcount(), 0)));
    return start;
}

bool isMailboxFile(const std::string &path, const std::set<std::string> &filesFound,
                   const std::function<std::string(const std::string &)> &readStart)
{
    if (isMailboxFileName(path))
        return true;
    const std::string name = PathFileName(path);
    // The folder's own name: the component before the file's.
    std::string_view folder(path);
    folder.remove_suffix(name.size());
    while (!folder.empty() && (folder.back() == '/' || folder.back() == '\\'))
        folder.remove_suffix(1);
    const std::string folderName = folder.empty() ? std::string() : PathFileName(folder);
    if (name == "mbox" && endsWithIgnoringCase(folderName, ".mbox"))
        return true;
    // Thunderbird keeps a folder as a file with no extension; hidden files are not mail.
    if (name.empty() || name.find('.') != std::string::npos)
        return false;
    if (filesFound.contains(path + ".msf") || endsWithIgnoringCase(folderName, ".sbd"))
        return true;
    return opensWithEnvelopeAndHeader(readStart(path));
}

std::vector<std::string> mailboxesAmong(const std::vector<std::string> &files,
                                        const std::function<std::string(const std::string &)> &readStart)
{
    const std::set<std::string> filesFound(files.begin(), files.end());
    std::vector<std::string> mailboxes;
    for (const std::string &path : files) {
        if (isMailboxFile(path, filesFound, readStart))
            mailboxes.push_back(path);
    }
    return mailboxes;
}

std::vector<std::string> mailSourcesAmong(const std::vector<std::string> &folders,
                                          const std::vector<std::string> &files,
                                          const std::function<std::string(const std::string &)> &readStart)
{
    const std::set<std::string> foldersFound(folders.begin(), folders.end());
    const std::set<std::string> filesFound(files.begin(), files.end());
    // Each folder ends in its separator, so the subfolder "cur" of `folder` is folder + "cur" + it.
    auto holds = [&foldersFound](const std::string &folder, std::string_view name) {
        return foldersFound.contains(folder + std::string(name) + folder.back());
    };
    auto isMaildirFolder = [&holds](const std::string &folder) { return holds(folder, "cur") && holds(folder, "new"); };
    auto folderOf = [](const std::string &path) { return path.substr(0, path.find_last_of("/\\") + 1); };

    std::map<std::string, std::vector<std::string>> filesIn;
    for (const std::string &path : files)
        filesIn[folderOf(path)].push_back(path);

    std::vector<std::string> sources;
    std::vector<std::string> maildirs;
    for (const std::string &folder : folders) {
        if (folder.empty())
            continue;
        const auto inMaildir = std::find_if(maildirs.begin(), maildirs.end(), [&folder](const std::string &maildir) {
            return folder.starts_with(maildir);
        });
        std::vector<std::string> mailboxes;
        bool holdsEml = false;
        const bool isSourceItself = inMaildir != maildirs.end() || isMaildirFolder(folder);
        for (const std::string &path : isSourceItself ? std::vector<std::string>() : filesIn[folder]) {
            const std::string name = PathFileName(path);
            if (!name.starts_with('.') && endsWithIgnoringCase(name, ".eml"))
                holdsEml = true;
            else if (isMailboxFile(path, filesFound, readStart))
                mailboxes.push_back(path);
        }
        if (inMaildir != maildirs.end()) {
            // A Maildir++ folder ".A.B" lies directly in its Maildir.
            const std::string name = folder.substr(inMaildir->size(), folder.size() - inMaildir->size() - 1);
            if (name.size() > 1 && name[0] == '.' && name.find_first_of("/\\") == std::string::npos &&
                isMaildirFolder(folder))
                sources.push_back(folder);
            continue;
        }
        if (isMaildirFolder(folder)) {
            sources.push_back(folder);
            maildirs.push_back(folder);
            continue;
        }
        if (holdsEml)
            sources.push_back(folder);
        sources.insert(sources.end(), mailboxes.begin(), mailboxes.end());
    }
    return sources;
}

FolderScanResult scanFolderForMailboxes(const std::string &folder, FolderLister lister)
{
    pathLogger walker(std::move(lister));
    walker.PathLogInit();
    walker.setFullFileNamesOnly(true);
    walker.LogPath(folder);

    FolderScanResult result;
    result.unreadableFolders = walker.unreadableFolderCount();
    result.mailboxes = mailSourcesAmong(walker.pathNames(), walker.fullFileNames());
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
