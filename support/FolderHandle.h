// A folder held open, in which files are made, read, renamed and removed by name only, so that
// no symbolic link placed below the output folder is ever followed.
#pragma once

#include "support/OpenFile.h"
#include "support/Result.h"

#include <cstdint>
#include <ctime>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tessaly {

/// What a rename that must not replace anything came to, when it did not fail.
enum class RenameOutcome
{
    Renamed,
    /// Something has the new name already (a dangling link included); nothing was changed.
    NameTaken
};

/// What an entry of a folder is, seen without following a link.
enum class EntryType
{
    Missing, ///< nothing has the name
    PlainFile,
    Folder,
    Link,
    Other ///< a pipe, a socket, a device
};

/// An open folder. Every operation names an entry of this folder, never a path: a name holding
/// a separator, "." or ".." is refused, and an entry that is a symbolic link is neither followed
/// nor replaced (it is refused with "not permitted", or, for a new file, counts as a taken
/// name). Where the system allows (POSIX), the folder is held by its descriptor, so that a
/// link put in place of the folder itself, or of a folder above it, after it was opened changes
/// nothing. Copies share the one open folder.
class FolderHandle
{
public:
    /// Opens the folder at `path` itself. Links on the way to it are followed: the caller chose it.
    static Result<FolderHandle> open(const std::string &path);

    /// Opens the folder `relative` ("/"- or "\"-separated) below this one, making each component
    /// that is missing. No component may be a symbolic link or "..". The components this call
    /// made, as paths relative to this folder, outermost first, are added to `created` when given.
    Result<FolderHandle> openBelow(std::string_view relative, std::vector<std::string> *created = nullptr) const;
    /// Opens the existing folder `name` of this folder; fails when there is none or it is a link.
    Result<FolderHandle> openExisting(std::string_view name) const;

    /// The folder's path, for people and messages.
    const std::string &path() const { return m_path; }
    /// The path of entry `name`, for people and messages.
    std::string pathOf(std::string_view name) const;

    /// Makes the file `name` and opens it for reading and writing; fails when anything is
    /// there already.
    Result<OpenFile> create(std::string_view name) const;
    /// Makes a file without a name in this folder, open for reading and writing, that vanishes
    /// with its last descriptor unless linkUnnamed names it: nothing is left if the process
    /// dies. Fails where the system or the file system has no such files (then use create).
    Result<OpenFile> createUnnamed() const;
    /// Gives `file`, made by createUnnamed, the name `to`, unless something already has that
    /// name; never replaces. Outcomes and failures as for rename.
    Result<RenameOutcome> linkUnnamed(const OpenFile &file, std::string_view to) const;
    /// Opens the plain file `name` for appending, making it when missing. A link, a file with
    /// more than one name (a hard link to a file elsewhere) or anything but a plain file is refused.
    Result<OpenFile> openForAppend(std::string_view name) const;
    /// The bytes of the plain file `name`, at most `maxBytes` of them.
    Result<std::string> read(std::string_view name, std::uint64_t maxBytes = UINT64_MAX) const;
    /// The plain file `name`, open for reading, to read in parts or to hand to another process.
    Result<OpenFile> openForReading(std::string_view name) const;

    /// What has the name `name` here: a link is a Link (a dangling one included), never what it
    /// points to. A name that is not one entry of a folder names nothing here: Missing. Fails
    /// when the system cannot tell (the folder cannot be searched, say), with its reason.
    Result<EntryType> entryType(std::string_view name) const;
    /// The names of the entries, in no particular order; fails when the folder cannot be read.
    Result<std::vector<std::string>> names() const;
    /// The names of the entries of the folder `name` of this folder: none when there is no such
    /// folder (a link to one, which is never followed, and a name that is not one entry, as for
    /// entryType); fails when it cannot be read.
    Result<std::vector<std::string>> namesIn(std::string_view name) const;

    /// Renames `from` to `to` unless something already has that name (a dangling link
    /// included); never replaces. A failure's message is the system's reason alone, for the
    /// caller to say what it was doing (Error::within), and it keeps the reason's kind (a full
    /// disk, a refused permission).
    Result<RenameOutcome> rename(std::string_view from, std::string_view to) const;
    /// Renames `from` to `to`, replacing the plain file that has that name in the same step, so
    /// that at every moment `to` names either the old file or the new one. A link or a folder
    /// at `to` is refused.
    Result<void> replace(std::string_view from, std::string_view to) const;
    /// Sets the modification time of the file `name` (seconds since the epoch); a link is refused.
    Result<void> setModificationTime(std::string_view name, std::time_t time) const;
    /// Removes the file `name` (a link is removed, not followed). A missing file is no error.
    Result<void> remove(std::string_view name) const;
    /// Removes those of `folders` (paths relative to this folder, as openBelow adds them) that
    /// are empty, innermost first. A folder that holds anything stays, and so do its parents.
    void removeEmptyFolders(const std::vector<std::string> &folders) const;
    /// Puts the folder's entries (new names, renames, removals) on the disk. One call covers
    /// every change made in the folder before it.
    Result<void> sync() const;

private:
    struct Open;
    FolderHandle(std::shared_ptr<const Open> folder, std::string path)
        : m_folder(std::move(folder)), m_path(std::move(path))
    {
    }
    /// Makes the folder `name` here unless something has that name; true when it made it.
    Result<bool> makeFolder(std::string_view name) const;
    /// Refuses names that are not one entry of a folder.
    Result<void> checkName(std::string_view name) const;
    /// The error for an entry that is a symbolic link, which is never followed.
    static Error linkRefused(const std::string &path);
    /// Opens the plain file `name` here with `flags` (open(2)'s), never through a link nor
    /// waiting on a special file; `verb` says what failed in errors. POSIX only.
    Result<OpenFile> openPlainFile(std::string_view name, int flags, std::string_view verb,
                                   std::uint64_t *linkCount = nullptr) const;

    std::shared_ptr<const Open> m_folder;
    std::string m_path;
};

/// A file's place: the open folder it is in and its name there. Paths stay strings for what
/// people read; the place is what files are made, read and removed through.
struct FileInFolder
{
    FolderHandle folder;
    std::string name;

    /// The file's path, for people and messages.
    std::string path() const { return folder.pathOf(name); }
};

/// The place of the file at `path`, its folder opened as the caller gives it (links followed:
/// for paths the caller vouches for, such as a file of its own or in a folder the user chose).
Result<FileInFolder> fileAt(const std::string &path);

} // namespace tessaly
