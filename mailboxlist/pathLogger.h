// A breadth-first walker that collects the files of a folder tree.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace tessaly {

/// The entries of one folder, in the order the file system lists them.
struct FolderEntries
{
    std::vector<std::string> subfolders; ///< bare names
    std::vector<std::string> files;      ///< bare names
};

/// Lists one folder into `entries`. Returns false when the folder cannot be read.
using FolderLister = std::function<bool(const std::string &folder, FolderEntries &entries)>;

/// Lists a folder through the file system. Subfolders are real folders only: a symbolic link
/// to a folder is neither followed nor collected, so a link cycle cannot trap a walk.
/// Files are regular files and links to them.
bool listFolder(const std::string &folder, FolderEntries &entries);

/// Visits a folder tree level by level, keeping its queue in `pathNames`, so the depth of
/// the tree does not matter. Call PathLogInit before each walk; a second LogPath without it
/// appends to the collections of the first.
class pathLogger
{
public:
    explicit pathLogger(FolderLister lister = listFolder);

    /// Empties the collections and selects the full-paths-only mode. `Count` is kept.
    void PathLogInit();
    /// Walks the tree under `strPARENT`. A folder that does not exist collects nothing and
    /// leaves `Count` as it was; a folder that cannot be read is skipped and counted in
    /// unreadableFolderCount(), and what was collected elsewhere stays.
    void LogPath(const std::string &strPARENT);
    /// Drops the collections.
    void Terminate();

    /// 1 at the start of a walk, plus 1 per file collected.
    int Count() const { return m_count; }

    bool fullFileNamesOnly() const { return m_fullFileNamesOnly; }
    void setFullFileNamesOnly(bool fullPath) { m_fullFileNamesOnly = fullPath; }

    /// Bare name of every file (only when not in full-paths-only mode).
    const std::vector<std::string> &fileNames() const { return m_fileNames; }
    /// Every folder visited, in visiting order, each ending in a separator; the root first.
    const std::vector<std::string> &pathNames() const { return m_pathNames; }
    /// For every file, the position from 1 of its folder in pathNames() (only when not in
    /// full-paths-only mode).
    const std::vector<int> &pathPointers() const { return m_pathPointers; }
    /// Full path of every file: its folder's entry in pathNames() followed by its name.
    const std::vector<std::string> &fullFileNames() const { return m_fullFileNames; }

    /// Folders of the last walk that could not be listed.
    int unreadableFolderCount() const { return m_unreadableFolders; }

private:
    FolderLister m_lister;
    int m_count = 0;
    bool m_fullFileNamesOnly = true;
    int m_unreadableFolders = 0;
    std::vector<std::string> m_fileNames;
    std::vector<int> m_pathPointers;
    std::vector<std::string> m_pathNames;
    std::vector<std::string> m_fullFileNames;
};

} // namespace tessaly
