// FolderHandle on POSIX: the folder is held by its descriptor, and every entry is reached
// through it with the *at() calls, never by path.
#include "support/FolderHandle.h"

#include "support/PathHelpers.h"
#include "support/SystemReason.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace tessaly {

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

/// The names in the folder open as `folderToRead`, which this closes; `path` names it in errors.
Result<std::vector<std::string>> entriesOf(int folderToRead, const std::string &path)
{
    const auto failed = [&path](int errorNumber) {
        return systemError("cannot read the folder '" + path + "': ", errorNumber, FailureKind::Unreadable);
    };
    DIR *listing = ::fdopendir(folderToRead);
    if (!listing) {
        const int reason = errno;
        ::close(folderToRead);
        return failed(reason);
    }
    std::vector<std::string> names;
    while (true) {
        // readdir says both "no more" and "failed" with null; errno tells them apart.
        errno = 0;
        const dirent *entry = ::readdir(listing);
        if (!entry)
            break;
        const std::string_view name = entry->d_name;
        if (name != "." && name != "..")
            names.emplace_back(name);
    }
    const int reason = errno;
    ::closedir(listing);
    if (reason != 0)
        return failed(reason);
    return names;
}

EntryType entryTypeOf(mode_t mode)
{
    if (S_ISREG(mode))
        return EntryType::PlainFile;
    if (S_ISDIR(mode))
        return EntryType::Folder;
    if (S_ISLNK(mode))
        return EntryType::Link;
    return EntryType::Other;
}

/// What a rename or link that must not replace came to, from its errno: a taken name is an outcome.
Result<RenameOutcome> renameFailure(int errorNumber)
{
    if (errorNumber == EEXIST)
        return RenameOutcome::NameTaken;
    return systemError("", errorNumber, FailureKind::Unwritable);
}

} // namespace

Result<FolderHandle> FolderHandle::open(const std::string &path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return systemError("cannot open the folder '" + path + "': ", errno, FailureKind::Unreadable);
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
    return systemError("cannot create the folder '" + pathOf(name) + "': ", errno, FailureKind::Unwritable);
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
        return systemError("cannot open the folder '" + pathOf(name) + "': ", reason, FailureKind::Unreadable);
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
        return systemError("cannot create '" + pathOf(name) + "': ", errno, FailureKind::Unwritable);
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
        return systemError("cannot create a file without a name in '" + m_path + "': ", errno, FailureKind::Unwritable);
    }
#endif
    return Error{"files without a name cannot be named later here", FailureKind::Unsupported};
}

Result<RenameOutcome> FolderHandle::linkUnnamed(const OpenFile &file, std::string_view to) const
{
    if (Result<void> valid = checkName(to); !valid)
        return valid.error();
    const std::string descriptorPath = "/proc/self/fd/" + std::to_string(file.descriptor());
    if (::linkat(AT_FDCWD, descriptorPath.c_str(), m_folder->fd, std::string(to).c_str(), AT_SYMLINK_FOLLOW) == 0)
        return RenameOutcome::Renamed;
    return renameFailure(errno);
}

Result<OpenFile> FolderHandle::openForAppend(std::string_view name) const
{
    std::uint64_t links = 0;
    Result<OpenFile> file = openPlainFile(name, O_WRONLY | O_APPEND | O_CREAT, "open", &links);
    if (file && links > 1)
        return Error{"cannot open '" + pathOf(name) + "': not permitted, it is also linked from elsewhere",
                     FailureKind::NotPermitted};
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
        return systemError(failure, reason, verb == "read" ? FailureKind::Unreadable : FailureKind::Unwritable);
    }
    OpenFile file(descriptor, pathOf(name));
    struct stat status
    {
    };
    if (::fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode))
        return Error{failure + "not permitted, it is not a plain file", FailureKind::NotPermitted};
    if (linkCount)
        *linkCount = static_cast<std::uint64_t>(status.st_nlink);
    (void)::fcntl(descriptor, F_SETFL, ::fcntl(descriptor, F_GETFL) & ~O_NONBLOCK);
    return file;
}

Result<EntryType> FolderHandle::entryType(std::string_view name) const
{
    if (!checkName(name))
        return EntryType::Missing;
    struct stat status
    {
    };
    if (::fstatat(m_folder->fd, std::string(name).c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0)
        return entryTypeOf(status.st_mode);
    if (errno == ENOENT)
        return EntryType::Missing;
    return systemError("cannot look at '" + pathOf(name) + "': ", errno, FailureKind::Unreadable);
}

Result<std::vector<std::string>> FolderHandle::names() const
{
    // A descriptor of its own, so that listing leaves the held one's position alone.
    const int listing = ::openat(m_folder->fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listing < 0)
        return systemError("cannot read the folder '" + m_path + "': ", errno, FailureKind::Unreadable);
    return entriesOf(listing, m_path);
}

Result<std::vector<std::string>> FolderHandle::namesIn(std::string_view name) const
{
    if (!checkName(name))
        return std::vector<std::string>();
    const int listing =
        ::openat(m_folder->fd, std::string(name).c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (listing >= 0)
        return entriesOf(listing, pathOf(name));
    // No folder: nothing there, a link (never followed), or something else.
    if (errno == ENOENT || errno == ELOOP || errno == ENOTDIR)
        return std::vector<std::string>();
    return systemError("cannot read the folder '" + pathOf(name) + "': ", errno, FailureKind::Unreadable);
}

Result<RenameOutcome> FolderHandle::rename(std::string_view from, std::string_view to) const
{
    if (Result<void> valid = checkName(from); !valid)
        return valid.error();
    if (Result<void> valid = checkName(to); !valid)
        return valid.error();
    const std::string source(from);
    const std::string target(to);
    const int fd = m_folder->fd;
#ifdef RENAME_NOREPLACE
    if (::renameat2(fd, source.c_str(), fd, target.c_str(), RENAME_NOREPLACE) == 0)
        return RenameOutcome::Renamed;
    if (errno != EINVAL && errno != ENOSYS)
        return renameFailure(errno);
#endif
    // File systems without RENAME_NOREPLACE: a hard link fails on an existing name too.
    if (::linkat(fd, source.c_str(), fd, target.c_str(), 0) != 0)
        return renameFailure(errno);
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
        return systemError("cannot replace '" + pathOf(to) + "': ", errno, FailureKind::Unwritable);
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
        return systemError("cannot set the time of '" + pathOf(name) + "': ", errno, FailureKind::Unwritable);
    return {};
}

Result<void> FolderHandle::remove(std::string_view name) const
{
    if (Result<void> valid = checkName(name); !valid)
        return valid;
    if (::unlinkat(m_folder->fd, std::string(name).c_str(), 0) != 0 && errno != ENOENT)
        return systemError("cannot delete '" + pathOf(name) + "': ", errno, FailureKind::Unwritable);
    return {};
}

void FolderHandle::removeEmptyFolders(const std::vector<std::string> &folders) const
{
    for (auto it = folders.rbegin(); it != folders.rend(); ++it) {
        std::vector<std::string> components = pathComponents(*it);
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
        return systemError("cannot save the folder '" + m_path + "' to disk: ", errno, FailureKind::Unwritable);
    return {};
}

Result<void> FolderHandle::checkName(std::string_view name) const
{
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string_view::npos ||
        name.find('\0') != std::string_view::npos)
        return Error{"'" + std::string(name) + "' is not a file name in '" + m_path + "'", FailureKind::InternalError};
    return {};
}

} // namespace tessaly
