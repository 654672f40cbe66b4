#include "support/FolderBelow.h"

#include "support/PathHelpers.h"

#include <cerrno>
#include <filesystem>
#include <system_error>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace tessaly {
namespace {

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

Error linkRefused(const std::string &path)
{
    return Error{"'" + path + "' is a symbolic link; nothing is written through a link below the output folder"};
}

#ifndef _WIN32
/// Closes a descriptor when it goes out of scope.
class Descriptor
{
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    void reset(int fd)
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = fd;
    }
    int get() const { return m_fd; }

private:
    int m_fd;
};
#endif

} // namespace

Result<std::vector<std::string>> makeFolderBelow(const std::string &base, std::string_view relative)
{
    std::vector<std::string> created;
    std::string path = base;
#ifndef _WIN32
    Descriptor folder(::open(base.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.get() < 0)
        return Error{"cannot open the folder '" + base + "': " + std::generic_category().message(errno)};
    for (const std::string &component : componentsOf(relative)) {
        path = joinPath(path, component);
        if (component == "..")
            return Error{"'" + path + "' leaves the output folder"};
        if (::mkdirat(folder.get(), component.c_str(), 0777) == 0)
            created.push_back(path);
        else if (errno != EEXIST)
            return Error{"cannot create the folder '" + path + "': " + std::generic_category().message(errno)};
        const int next = ::openat(folder.get(), component.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (next < 0) {
            const int reason = errno;
            struct stat status
            {
            };
            if (::fstatat(folder.get(), component.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0 &&
                S_ISLNK(status.st_mode))
                return linkRefused(path);
            return Error{"cannot create the folder '" + path + "': " + std::generic_category().message(reason)};
        }
        folder.reset(next);
    }
#else
    for (const std::string &component : componentsOf(relative)) {
        path = joinPath(path, component);
        if (component == "..")
            return Error{"'" + path + "' leaves the output folder"};
        std::error_code error;
        const auto status = std::filesystem::symlink_status(toFsPath(path), error);
        if (std::filesystem::is_symlink(status))
            return linkRefused(path);
        if (!std::filesystem::exists(status)) {
            if (!std::filesystem::create_directory(toFsPath(path), error))
                return Error{"cannot create the folder '" + path + "': " + error.message()};
            created.push_back(path);
        } else if (!std::filesystem::is_directory(status)) {
            return Error{"cannot create the folder '" + path + "': a file stands there"};
        }
    }
#endif
    return created;
}

void removeEmptyFolders(const std::vector<std::string> &folders)
{
    for (auto it = folders.rbegin(); it != folders.rend(); ++it) {
        std::error_code error;
        if (!std::filesystem::is_empty(toFsPath(*it), error) || error)
            return;
        std::filesystem::remove(toFsPath(*it), error); // a folder that won't go stays; nothing is lost
    }
}

} // namespace tessaly
