#include "mailboxlist/pathLogger.h"

#include <algorithm>

#include "support/PathHelpers.h"

#include <filesystem>
#include <system_error>

namespace tessaly {

namespace fs = std::filesystem;

bool listFolder(const std::string &folder, FolderEntries &entries)
{
    std::error_code error;
    fs::directory_iterator it(toFsPath(folder), fs::directory_options::none, error);
    if (error)
        return false;
    for (const fs::directory_iterator end; it != end; it.increment(error)) {
        if (error)
            return false;
        const fs::directory_entry &entry = *it;
        std::error_code statusError;
        const fs::file_status own = entry.symlink_status(statusError);
        if (statusError)
            continue; // The entry vanished while we listed: nothing to collect.
        std::string name = fromFsPath(entry.path().filename());
        if (fs::is_directory(own)) {
            entries.subfolders.push_back(std::move(name));
        } else if (fs::is_regular_file(own)) {
            entries.files.push_back(std::move(name));
        } else if (fs::is_symlink(own) && fs::is_regular_file(entry.status(statusError))) {
            entries.files.push_back(std::move(name));
        }
    }
    // The same tree scans alike on every machine, whatever order the file system lists in.
    std::sort(entries.subfolders.begin(), entries.subfolders.end());
    std::sort(entries.files.begin(), entries.files.end());
    return !error;
}

pathLogger::pathLogger(FolderLister lister) : m_lister(std::move(lister)) {}

void pathLogger::PathLogInit()
{
    m_fullFileNamesOnly = true;
    m_unreadableFolders = 0;
    m_fileNames.clear();
    m_pathPointers.clear();
    m_pathNames.clear();
    m_fullFileNames.clear();
}

void pathLogger::Terminate()
{
    m_fileNames = {};
    m_pathPointers = {};
    m_pathNames = {};
    m_fullFileNames = {};
}

void pathLogger::LogPath(const std::string &strPARENT)
{
    std::error_code error;
    if (strPARENT.empty() || !fs::is_directory(toFsPath(strPARENT), error))
        return;

    m_count = 1;
    std::size_t current = m_pathNames.size(); // 0 unless a walk ran without PathLogInit
    m_pathNames.push_back(withTrailingSeparator(strPARENT));
    FolderEntries entries;
    for (; current < m_pathNames.size(); ++current) {
        entries.subfolders.clear();
        entries.files.clear();
        // Copied: pushing subfolders may move the vector's storage.
        const std::string folder = m_pathNames[current];
        if (!m_lister(folder, entries)) {
            ++m_unreadableFolders;
            continue;
        }
        for (const std::string &subfolder : entries.subfolders)
            m_pathNames.push_back(withTrailingSeparator(folder + subfolder));
        for (std::string &file : entries.files) {
            m_fullFileNames.push_back(folder + file);
            if (!m_fullFileNamesOnly) {
                m_fileNames.push_back(std::move(file));
                m_pathPointers.push_back(static_cast<int>(current) + 1);
            }
            ++m_count;
        }
    }
}

} // namespace tessaly
