#include "support/FolderHandle.h"

#include "support/PathHelpers.h"
#include "support/SystemReason.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <system_error>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>
#include <windows.h>
#else
#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace tessaly {
namespace {

Error linkRefused(const std::string &path)
{
    return Error{"'" + path + "' is a symbolic link: not permitted below the output folder"};
}

std::vector<std::string> componentsOf(std::string_view relative)
{
    std::vector<std::string> components;
    std::size_t start = 0;
    while (start <= relative.size()) {
        std::size_t end = start;
        while (end < relative.size() && !isPathSeparator(relative[end]))
            ++end;
        const std::string_view part = relative.substr(start, end - start);
        if (!part.empty() && part != ".")
            components.emplace_back(part);
        start = end + 1;
    }
    return components;
}

std::string withoutTrailingSeparators(std::string path)
{
    while (path.size() > 1 && isPathSeparator(path.back()) && !(path.size() == 3 && path[1] == ':'))
        path.pop_back();
    return path;
}

} // namespace

#ifndef _WIN32

struct FolderHandle::Open
{
    explicit Open(int descriptor) : fd(descriptor) {}
    ~Open() { ::close(fd); }
    Open(const Open &) = delete;
    Open &operator=(const Open &) = delete;
    int fd;
};

namespace {

/// A descriptor closed when it goes out of scope.
class ScopedDescriptor
{
public:
    explicit ScopedDescriptor(int fd) : m_fd(fd) {}
    ~ScopedDescriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    ScopedDescriptor(const ScopedDescriptor &) = delete;
    ScopedDescriptor &operator=(const ScopedDescriptor &) = delete;
    int get() const { return m_fd; }
    int release() { return std::exchange(m_fd, -1); }

private:
    int m_fd;
};

bool isLinkAt(int folder, const char *name)
{
    struct stat status
    {
    };
    return ::fstatat(folder, name, &status, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(status.st_mode);
}

std::vector<std::string> entriesOf(int folderToRead)
{
    std::vector<std::string> names;
    DIR *listing = ::fdopendir(folderToRead);
    if (!listing) {
        ::close(folderToRead);
        return names;
    }
    while (const dirent *entry = ::readdir(listing)) {
        const std::string_view name = entry->d_name;
        if (name != "." && name != "..")
            names.emplace_back(name);
    }
    ::closedir(listing);
    return names;
}

} // namespace

Result<FolderHandle> FolderHandle::open(const std::string &path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return systemError("cannot open the folder '" + path + "': ", errno);
    return FolderHandle(std::make_shared<const Open>(fd), withoutTrailingSeparators(path));
}

Result<bool> FolderHandle::makeFolder(std::string_view name) const
{
    if (Result<void> valid = checkName(name); !valid)
        return valid.error();
    if (::mkdirat(m_folder->fd, std::string(name).c_str(), 0777) == 0)
        return true;
    if (errno == EEXIST)
        return false;
    return systemError("cannot create the folder '" + pathOf(name) + "': ", errno);
}

Result<FolderHandle> FolderHandle::openExisting(std::string_view name) const
{
    if (Result<void> valid = checkName(name); !valid)
        return valid.error();
    const std::string entry(name);
    const int fd = ::openat(m_folder->fd, entry.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        const int reason = errno;
        if (isLinkAt(m_folder->fd, entry.c_str()))
            return linkRefused(pathOf(name));
        return systemError("cannot open the folder '" + pathOf(name) + "': ", reason);
    }
    return FolderHandle(std::make_shared<const Open>(fd), pathOf(name));
}

Result<OpenFile> FolderHandle::create(std::string_view name) const
{
    if (Result<void> valid = checkName(name); !valid)
        return valid.error();
    const std::string entry(name);
    const int fd = ::openat(m_folder->fd, entry.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0)
        return systemError("cannot create '" + pathOf(name) + "': ", errno);
    return OpenFile(fd, pathOf(name));
}

Result<OpenFile> FolderHandle::createUnnamed() const
{
#if defined(O_TMPFILE) && defined(__linux__)
    // Naming it later goes through /proc, which a chroot or a bare container may lack.
    if (::access("/proc/self/fd", X_OK) == 0) {
        const int fd = ::openat(m_folder->fd, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
        if (fd >= 0)
            return OpenFile(fd, "a file without a name in '" + m_path + "'");
        return systemError("cannot create a file without a name in '" + m_path + "': ", errno);
    }
#endif
    return Error{"files without a name cannot be named later here"};
}

RenameOutcome FolderHandle::linkUnnamed(const OpenFile &file, std::string_view to, Error &failure) const
{
    if (Result<void> valid = checkName(to); !valid) {
        failure = valid.error();
        return RenameOutcome::Failed;
    }
    const std::string descriptorPath = "/proc/self/fd/" + std::to_string(file.descriptor());
    if (::linkat(AT_FDCWD, descriptorPath.c_str(), m_folder->fd, std::string(to).c_str(), AT_SYMLINK_FOLLOW) == 0)
        return RenameOutcome::Renamed;
    const int reason = errno;
    failure = systemError("", reason);
    return reason == EEXIST ? RenameOutcome::NameTaken : RenameOutcome::Failed;
}

Result<OpenFile> FolderHandle::openForAppend(std::string_view name) const
{
    std::uint64_t links = 0;
    Result<OpenFile> file = openPlainFile(name, O_WRONLY | O_APPEND | O_CREAT, "open", &links);
    if (file && links > 1)
        return Error{"cannot open '" + pathOf(name) + "': not permitted, it is also linked from elsewhere"};
    return file;
}

Result<std::string> FolderHandle::read(std::string_view name, std::uint64_t maxBytes) const
{
    Result<OpenFile> file = openForReading(name);
    if (!file)
        return file.error();
    return file.value().readAll(maxBytes);
}

Result<OpenFile> FolderHandle::openForReading(std::string_view name) const
{
    return openPlainFile(name, O_RDONLY, "read");
}

Result<OpenFile> FolderHandle::openPlainFile(std::string_view name, int flags, std::string_view verb,
                                             std::uint64_t *linkCount) const
{
    if (Result<void> valid = checkName(name); !valid)
        return valid.error();
    const std::string entry(name);
    const std::string failure = "cannot " + std::string(verb) + " '" + pathOf(name) + "': ";
    // Non-blocking, so that a pipe placed under the name cannot hold the run up; cleared below.
    const int descriptor = ::openat(m_folder->fd, entry.c_str(), flags | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
    if (descriptor < 0) {
        const int reason = errno;
        if (reason == ELOOP || isLinkAt(m_folder->fd, entry.c_str()))
            return linkRefused(pathOf(name));
        return systemError(failure, reason);
    }
    OpenFile file(descriptor, pathOf(name));
    struct stat status
    {
    };
    if (::fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode))
        return Error{failure + "not permitted, it is not a plain file"};
    if (linkCount)
        *linkCount = static_cast<std::uint64_t>(status.st_nlink);
    (void)::fcntl(descriptor, F_SETFL, ::fcntl(descriptor, F_GETFL) & ~O_NONBLOCK);
    return file;
}

bool FolderHandle::contains(std::string_view name) const
{
    if (!checkName(name))
        return false;
    struct stat status
    {
    };
    return ::fstatat(m_folder->fd, std::string(name).c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0;
}

bool FolderHandle::holdsFile(std::string_view name) const
{
    if (!checkName(name))
        return false;
    struct stat status
    {
    };
    return ::fstatat(m_folder->fd, std::string(name).c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0 &&
           S_ISREG(status.st_mode);
}

std::vector<std::string> FolderHandle::names() const
{
    // A descriptor of its own, so that listing leaves the held one's position alone.
    const int listing = ::openat(m_folder->fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    return listing < 0 ? std::vector<std::string>() : entriesOf(listing);
}

std::vector<std::string> FolderHandle::namesIn(std::string_view name) const
{
    if (!checkName(name))
        return {};
    const int listing =
        ::openat(m_folder->fd, std::string(name).c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    return listing < 0 ? std::vector<std::string>() : entriesOf(listing);
}

RenameOutcome FolderHandle::rename(std::string_view from, std::string_view to, Error &failure) const
{
    if (Result<void> valid = checkName(from); !valid) {
        failure = valid.error();
        return RenameOutcome::Failed;
    }
    if (Result<void> valid = checkName(to); !valid) {
        failure = valid.error();
        return RenameOutcome::Failed;
    }
    const auto failed = [&failure](int errorNumber) {
        failure = systemError("", errorNumber);
        return errorNumber == EEXIST ? RenameOutcome::NameTaken : RenameOutcome::Failed;
    };
    const std::string source(from);
    const std::string target(to);
    const int fd = m_folder->fd;
#ifdef RENAME_NOREPLACE
    if (::renameat2(fd, source.c_str(), fd, target.c_str(), RENAME_NOREPLACE) == 0)
        return RenameOutcome::Renamed;
    if (errno != EINVAL && errno != ENOSYS)
        return failed(errno);
#endif
    // File systems without RENAME_NOREPLACE: a hard link fails on an existing name too.
    if (::linkat(fd, source.c_str(), fd, target.c_str(), 0) != 0)
        return failed(errno);
    ::unlinkat(fd, source.c_str(), 0);
    return RenameOutcome::Renamed;
}

Result<void> FolderHandle::replace(std::string_view from, std::string_view to) const
{
    if (Result<void> valid = checkName(from); !valid)
        return valid;
    if (Result<void> valid = checkName(to); !valid)
        return valid;
    const std::string source(from);
    const std::string target(to);
    if (isLinkAt(m_folder->fd, target.c_str()))
        return linkRefused(pathOf(to));
    // rename(2) replaces its target atomically; a folder there fails it with EISDIR.
    if (::renameat(m_folder->fd, source.c_str(), m_folder->fd, target.c_str()) != 0)
        return systemError("cannot replace '" + pathOf(to) + "': ", errno);
    return {};
}

Result<void> FolderHandle::setModificationTime(std::string_view name, std::time_t time) const
{
    if (Result<void> valid = checkName(name); !valid)
        return valid;
    const std::string entry(name);
    if (isLinkAt(m_folder->fd, entry.c_str()))
        return linkRefused(pathOf(name));
    const timespec times[2] = {{0, UTIME_OMIT}, {time, 0}};
    if (::utimensat(m_folder->fd, entry.c_str(), times, AT_SYMLINK_NOFOLLOW) != 0)
        return systemError("cannot set the time of '" + pathOf(name) + "': ", errno);
    return {};
}

Result<void> FolderHandle::remove(std::string_view name) const
{
    if (Result<void> valid = checkName(name); !valid)
        return valid;
    if (::unlinkat(m_folder->fd, std::string(name).c_str(), 0) != 0 && errno != ENOENT)
        return systemError("cannot delete '" + pathOf(name) + "': ", errno);
    return {};
}

void FolderHandle::removeEmptyFolders(const std::vector<std::string> &folders) const
{
    for (auto it = folders.rbegin(); it != folders.rend(); ++it) {
        std::vector<std::string> components = componentsOf(*it);
        if (components.empty())
            return;
        const std::string last = components.back();
        components.pop_back();
        FolderHandle parent = *this;
        for (const std::string &component : components) {
            Result<FolderHandle> next = parent.openExisting(component);
            if (!next)
                return;
            parent = std::move(next).value();
        }
        // rmdir takes only an empty folder, and never one behind a link; one gone already is passed.
        if (::unlinkat(parent.m_folder->fd, last.c_str(), AT_REMOVEDIR) != 0 && errno != ENOENT)
            return;
    }
}

Result<void> FolderHandle::sync() const
{
    if (::fsync(m_folder->fd) != 0)
        return systemError("cannot save the folder '" + m_path + "' to disk: ", errno);
    return {};
}

Result<void> FolderHandle::checkName(std::string_view name) const
{
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string_view::npos ||
        name.find('\0') != std::string_view::npos)
        return Error{"'" + std::string(name) + "' is not a file name in '" + m_path + "'"};
    return {};
}

#else // _WIN32: no descriptors for folders; every operation checks the entry it names

struct FolderHandle::Open
{
};

namespace {

bool isLink(const std::string &path)
{
    std::error_code error;
    return std::filesystem::is_symlink(std::filesystem::symlink_status(toFsPath(path), error));
}

std::vector<std::string> entriesOf(const std::string &folder)
{
    std::vector<std::string> names;
    std::error_code error;
    for (auto it = std::filesystem::directory_iterator(toFsPath(folder), error);
         !error && it != std::filesystem::directory_iterator(); it.increment(error))
        names.push_back(fromFsPath(it->path().filename()));
    return names;
}

} // namespace

Result<FolderHandle> FolderHandle::open(const std::string &path)
{
    std::error_code error;
    if (!std::filesystem::is_directory(toFsPath(path), error))
        return Error{"cannot open the folder '" + path + "': " + (error ? error.message() : "not a folder")};
    return FolderHandle(std::make_shared<const Open>(), withoutTrailingSeparators(path));
}

Result<bool> FolderHandle::makeFolder(std::string_view name) const
{
    if (Result<void> valid = checkName(name); !valid)
        return valid.error();
    if (contains(name))
        return false;
    std::error_code error;
    if (!std::filesystem::create_directory(toFsPath(pathOf(name)), error))
        return Error{"cannot create the folder '" + pathOf(name) + "': " + error.message()};
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
        return Error{"cannot open the folder '" + path + "': " + (error ? error.message() : "not a folder")};
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
        return systemError("cannot " + verb + " '" + path + "': ", failed);
    return OpenFile(descriptor, path);
}

} // namespace

Result<OpenFile> FolderHandle::create(std::string_view name) const
{
    if (Result<void> valid = checkName(name); !valid)
        return valid.error();
    if (contains(name))
        return systemError("cannot create '" + pathOf(name) + "': ", EEXIST);
    return openPath(pathOf(name), _O_RDWR | _O_CREAT | _O_EXCL, "create");
}

Result<OpenFile> FolderHandle::createUnnamed() const
{
    return Error{"files without a name are not supported on this system"};
}

RenameOutcome FolderHandle::linkUnnamed(const OpenFile &, std::string_view, Error &failure) const
{
    failure = Error{"files without a name are not supported on this system"};
    return RenameOutcome::Failed;
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

bool FolderHandle::contains(std::string_view name) const
{
    std::error_code error;
    return checkName(name) && std::filesystem::exists(std::filesystem::symlink_status(toFsPath(pathOf(name)), error));
}

bool FolderHandle::holdsFile(std::string_view name) const
{
    std::error_code error;
    return checkName(name) &&
           std::filesystem::is_regular_file(std::filesystem::symlink_status(toFsPath(pathOf(name)), error));
}

std::vector<std::string> FolderHandle::names() const
{
    return entriesOf(m_path);
}

std::vector<std::string> FolderHandle::namesIn(std::string_view name) const
{
    if (!checkName(name) || isLink(pathOf(name)))
        return {};
    return entriesOf(pathOf(name));
}

RenameOutcome FolderHandle::rename(std::string_view from, std::string_view to, Error &failure) const
{
    if (!checkName(from) || !checkName(to)) {
        failure = Error{"not a file name"};
        return RenameOutcome::Failed;
    }
    if (MoveFileExW(toFsPath(pathOf(from)).c_str(), toFsPath(pathOf(to)).c_str(), 0))
        return RenameOutcome::Renamed;
    const DWORD error = GetLastError();
    failure = Error{std::system_category().message(static_cast<int>(error)),
                    error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL ? std::optional(FailureKind::DiskFull)
                                                                                : std::nullopt};
    return error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS ? RenameOutcome::NameTaken
                                                                       : RenameOutcome::Failed;
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
    const DWORD error = GetLastError();
    return Error{"cannot replace '" + target + "': " + std::system_category().message(static_cast<int>(error)),
                 error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL ? std::optional(FailureKind::DiskFull)
                                                                             : std::nullopt};
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
        return Error{"cannot set the time of '" + path + "': " + error.message()};
    return {};
}

Result<void> FolderHandle::remove(std::string_view name) const
{
    if (Result<void> valid = checkName(name); !valid)
        return valid;
    std::error_code error;
    std::filesystem::remove(toFsPath(pathOf(name)), error);
    if (error)
        return Error{"cannot delete '" + pathOf(name) + "': " + error.message()};
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
        return Error{"'" + std::string(name) + "' is not a file name in '" + m_path + "'"};
    return {};
}

#endif

Result<FolderHandle> FolderHandle::openBelow(std::string_view relative, std::vector<std::string> *created) const
{
    FolderHandle folder = *this;
    std::string madeRelative;
    for (const std::string &component : componentsOf(relative)) {
        if (component == "..")
            return Error{"'" + folder.pathOf(component) + "' leaves the output folder"};
        madeRelative += (madeRelative.empty() ? "" : "/") + component;
        Result<bool> made = folder.makeFolder(component);
        if (!made)
            return made.error();
        if (made.value() && created)
            created->push_back(madeRelative);
        Result<FolderHandle> next = folder.openExisting(component);
        if (!next)
            return next.error();
        folder = std::move(next).value();
    }
    return folder;
}

std::string FolderHandle::pathOf(std::string_view name) const
{
    return joinPath(m_path, name);
}

Result<FileInFolder> fileAt(const std::string &path)
{
    const std::filesystem::path fsPath = toFsPath(path);
    const std::filesystem::path parent = fsPath.parent_path();
    Result<FolderHandle> folder = FolderHandle::open(parent.empty() ? std::string(".") : fromFsPath(parent));
    if (!folder)
        return folder.error();
    return FileInFolder{std::move(folder).value(), fromFsPath(fsPath.filename())};
}

} // namespace tessaly
