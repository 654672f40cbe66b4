// FolderHandle on Windows: no descriptors for folders, so every operation checks the entry it
// names by its path.
#include "support/FolderHandle.h"

#include "support/PathHelpers.h"
#include "support/SystemReason.h"

#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>
#include <windows.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <system_error>

namespace tessaly {

struct FolderHandle::Open
{
};

namespace {

bool isLink(const std::string &path)
{
    std::error_code error;
    return std::filesystem::is_symlink(std::filesystem::symlink_status(toFsPath(path), error));
}

Result<std::vector<std::string>> entriesOf(const std::string &folder)
{
    std::vector<std::string> names;
    std::error_code error;
    for (auto it = std::filesystem::directory_iterator(toFsPath(folder), error);
         !error && it != std::filesystem::directory_iterator(); it.increment(error))
        names.push_back(fromFsPath(it->path().filename()));
    if (error)
        return Error{"cannot read the folder '" + folder + "': " + error.message(), FailureKind::Unreadable};
    return names;
}

/// An error saying `what` followed by the system's text for `error` (GetLastError's), with
/// the kind it stands for: a full disk, else a write that failed.
Error windowsError(std::string what, DWORD error)
{
    const bool isDiskFull = error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL;
    return Error{std::move(what) + std::system_category().message(static_cast<int>(error)),
                 isDiskFull ? FailureKind::DiskFull : FailureKind::Unwritable};
}

} // namespace

Result<FolderHandle> FolderHandle::open(const std::string &path)
{
    std::error_code error;
    if (!std::filesystem::is_directory(toFsPath(path), error))
        return Error{"cannot open the folder '" + path + "': " + (error ? error.message() : "not a folder"),
                     FailureKind::Unreadable};
    return FolderHandle(std::make_shared<const Open>(), withoutTrailingSeparators(path));
}

Result<bool> FolderHandle::makeFolder(std::string_view name) const
{
    if (Result<void> valid = checkName(name); !valid)
        return valid.error();
    Result<EntryType> there = entryType(name);
    if (!there)
        return there.error();
    if (there.value() != EntryType::Missing)
        return false;
    std::error_code error;
    if (!std::filesystem::create_directory(toFsPath(pathOf(name)), error))
        return Error{"cannot create the folder '" + pathOf(name) + "': " + error.message(), FailureKind::Unwritable};
    return true;
}

Result<FolderHandle> FolderHandle::openExisting(std::string_view name) const
{
    if (Result<void> valid = checkName(name); !valid)
        return valid.error();
    const std::string path = pathOf(name);
    if (isLink(path))
        return linkRefused(path);
    std::error_code error;
    if (!std::filesystem::is_directory(toFsPath(path), error))
        return Error{"cannot open the folder '" + path + "': " + (error ? error.message() : "not a folder"),
                     FailureKind::Unreadable};
    return FolderHandle(m_folder, path);
}

namespace {

/// Opens `path` with the C runtime's `flags`.
Result<OpenFile> openPath(const std::string &path, int flags, const std::string &verb)
{
    int descriptor = -1;
    const errno_t failed =
        ::_wsopen_s(&descriptor, toFsPath(path).c_str(), flags | _O_BINARY, _SH_DENYNO, _S_IREAD | _S_IWRITE);
    if (failed != 0)
        return systemError("cannot " + verb + " '" + path + "': ", failed, FailureKind::Unwritable);
    return OpenFile(descriptor, path);
}

} // namespace

Result<OpenFile> FolderHandle::create(std::string_view name) const
{
    if (Result<void> valid = checkName(name); !valid)
        return valid.error();
    // A dangling link counts as a taken name; where nothing can be seen, _O_EXCL decides.
    if (Result<EntryType> there = entryType(name); there && there.value() != EntryType::Missing)
        return systemError("cannot create '" + pathOf(name) + "': ", EEXIST, FailureKind::Unwritable);
    return openPath(pathOf(name), _O_RDWR | _O_CREAT | _O_EXCL, "create");
}

Result<OpenFile> FolderHandle::createUnnamed() const
{
    return Error{"files without a name are not supported on this system", FailureKind::Unsupported};
}

Result<RenameOutcome> FolderHandle::linkUnnamed(const OpenFile &, std::string_view) const
{
    return Error{"files without a name are not supported on this system", FailureKind::Unsupported};
}

Result<OpenFile> FolderHandle::openForAppend(std::string_view name) const
{
    if (Result<void> valid = checkName(name); !valid)
        return valid.error();
    const std::string path = pathOf(name);
    if (isLink(path))
        return linkRefused(path);
    return openPath(path, _O_WRONLY | _O_APPEND | _O_CREAT, "open");
}

Result<std::string> FolderHandle::read(std::string_view name, std::uint64_t maxBytes) const
{
    if (Result<void> valid = checkName(name); !valid)
        return valid.error();
    const std::string path = pathOf(name);
    if (isLink(path))
        return linkRefused(path);
    Result<std::string> bytes = readFileBytes(path);
    if (bytes && bytes.value().size() > maxBytes)
        bytes.value().resize(static_cast<std::size_t>(maxBytes));
    return bytes;
}

Result<OpenFile> FolderHandle::openForReading(std::string_view name) const
{
    if (Result<void> valid = checkName(name); !valid)
        return valid.error();
    const std::string path = pathOf(name);
    if (isLink(path))
        return linkRefused(path);
    return OpenFile::openForReading(path);
}

Result<EntryType> FolderHandle::entryType(std::string_view name) const
{
    if (!checkName(name))
        return EntryType::Missing;
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::symlink_status(toFsPath(pathOf(name)), error);
    switch (status.type()) {
    case std::filesystem::file_type::not_found:
        return EntryType::Missing;
    case std::filesystem::file_type::none:
        return Error{"cannot look at '" + pathOf(name) + "': " + error.message(), FailureKind::Unreadable};
    case std::filesystem::file_type::regular:
        return EntryType::PlainFile;
    case std::filesystem::file_type::directory:
        return EntryType::Folder;
    case std::filesystem::file_type::symlink:
        return EntryType::Link;
    default:
        return EntryType::Other;
    }
}

Result<std::vector<std::string>> FolderHandle::names() const
{
    return entriesOf(m_path);
}

Result<std::vector<std::string>> FolderHandle::namesIn(std::string_view name) const
{
    Result<EntryType> type = entryType(name);
    if (!type)
        return type.error();
    if (type.value() != EntryType::Folder)
        return std::vector<std::string>();
    return entriesOf(pathOf(name));
}

Result<RenameOutcome> FolderHandle::rename(std::string_view from, std::string_view to) const
{
    if (Result<void> valid = checkName(from); !valid)
        return valid.error();
    if (Result<void> valid = checkName(to); !valid)
        return valid.error();
    if (MoveFileExW(toFsPath(pathOf(from)).c_str(), toFsPath(pathOf(to)).c_str(), 0))
        return RenameOutcome::Renamed;
    const DWORD error = GetLastError();
    if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS)
        return RenameOutcome::NameTaken;
    return windowsError("", error);
}

Result<void> FolderHandle::replace(std::string_view from, std::string_view to) const
{
    if (Result<void> valid = checkName(from); !valid)
        return valid;
    if (Result<void> valid = checkName(to); !valid)
        return valid;
    const std::string target = pathOf(to);
    if (isLink(target))
        return linkRefused(target);
    // NTFS replaces the target in one step; a folder there fails it.
    if (MoveFileExW(toFsPath(pathOf(from)).c_str(), toFsPath(target).c_str(), MOVEFILE_REPLACE_EXISTING))
        return {};
    return windowsError("cannot replace '" + target + "': ", GetLastError());
}

Result<void> FolderHandle::setModificationTime(std::string_view name, std::time_t time) const
{
    if (Result<void> valid = checkName(name); !valid)
        return valid;
    const std::string path = pathOf(name);
    if (isLink(path))
        return linkRefused(path);
    const auto fileTime = std::chrono::file_clock::from_sys(std::chrono::system_clock::from_time_t(time));
    std::error_code error;
    std::filesystem::last_write_time(toFsPath(path), fileTime, error);
    if (error)
        return Error{"cannot set the time of '" + path + "': " + error.message(), FailureKind::Unwritable};
    return {};
}

Result<void> FolderHandle::remove(std::string_view name) const
{
    if (Result<void> valid = checkName(name); !valid)
        return valid;
    std::error_code error;
    std::filesystem::remove(toFsPath(pathOf(name)), error);
    if (error)
        return Error{"cannot delete '" + pathOf(name) + "': " + error.message(), FailureKind::Unwritable};
    return {};
}

void FolderHandle::removeEmptyFolders(const std::vector<std::string> &folders) const
{
    for (auto it = folders.rbegin(); it != folders.rend(); ++it) {
        const std::string path = joinPath(m_path, *it);
        std::error_code error;
        if (isLink(path) || !std::filesystem::is_empty(toFsPath(path), error) || error)
            return;
        std::filesystem::remove(toFsPath(path), error); // a folder that won't go stays; nothing is lost
    }
}

Result<void> FolderHandle::sync() const
{
    return {}; // NTFS keeps a folder's entries with the files' own flushes
}

Result<void> FolderHandle::checkName(std::string_view name) const
{
    if (name.empty() || name == "." || name == ".." ||
        name.find_first_of(std::string_view("/\\:\0", 4)) != std::string_view::npos)
        return Error{"'" + std::string(name) + "' is not a file name in '" + m_path + "'", FailureKind::InternalError};
    return {};
}

} // namespace tessaly
