#include "support/OpenFile.h"

#include "support/SystemReason.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <system_error>
#include <utility>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace tessaly {
namespace {

#ifndef _WIN32
/// The folder unnamed files go to: TMPDIR, else /tmp.
std::string temporaryFolder()
{
    const char *folder = std::getenv("TMPDIR");
    return folder && *folder ? folder : "/tmp";
}
#endif

} // namespace

OpenFile::OpenFile(OpenFile &&other) noexcept
    : m_descriptor(std::exchange(other.m_descriptor, -1)), m_name(std::move(other.m_name))
{
}

OpenFile &OpenFile::operator=(OpenFile &&other) noexcept
{
    if (this != &other) {
        OpenFile closing(std::move(*this));
        m_descriptor = std::exchange(other.m_descriptor, -1);
        m_name = std::move(other.m_name);
    }
    return *this;
}

#ifdef _WIN32

OpenFile::~OpenFile()
{
    if (m_descriptor >= 0)
        ::_close(m_descriptor);
}

Result<OpenFile> OpenFile::openForReading(const std::string &path)
{
    int descriptor = -1;
    const errno_t failed = ::_sopen_s(&descriptor, path.c_str(), _O_RDONLY | _O_BINARY, _SH_DENYNO, 0);
    if (failed != 0)
        return systemError("cannot open '" + path + "': ", failed, FailureKind::Unreadable);
    return OpenFile(descriptor, path);
}

Result<OpenFile> OpenFile::makeUnnamed()
{
    return Error{"files without a name are not supported on this system", FailureKind::Unsupported};
}

Result<std::uint64_t> OpenFile::size() const
{
    struct _stat64 status
    {
    };
    if (::_fstat64(m_descriptor, &status) != 0)
        return systemError("cannot read '" + m_name + "': ", errno, FailureKind::Unreadable);
    return static_cast<std::uint64_t>(status.st_size);
}

Result<std::size_t> OpenFile::readAt(std::uint64_t offset, char *into, std::size_t length) const
{
    // The C runtime has no positioned read: this one moves the position.
    if (::_lseeki64(m_descriptor, static_cast<__int64>(offset), SEEK_SET) < 0)
        return systemError("cannot read '" + m_name + "': ", errno, FailureKind::Unreadable);
    std::size_t done = 0;
    while (done < length) {
        const int chunk = static_cast<int>(std::min<std::size_t>(length - done, 1u << 30));
        const int got = ::_read(m_descriptor, into + done, static_cast<unsigned>(chunk));
        if (got < 0)
            return systemError("cannot read '" + m_name + "': ", errno, FailureKind::Unreadable);
        if (got == 0)
            break;
        done += static_cast<std::size_t>(got);
    }
    return done;
}

Result<void> OpenFile::write(std::string_view bytes)
{
    while (!bytes.empty()) {
        const int chunk = static_cast<int>(std::min<std::size_t>(bytes.size(), 1u << 30));
        const int written = ::_write(m_descriptor, bytes.data(), static_cast<unsigned>(chunk));
        if (written < 0)
            return systemError("cannot write '" + m_name + "': ", errno, FailureKind::Unwritable);
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return {};
}

Result<void> OpenFile::clear()
{
    if (::_chsize_s(m_descriptor, 0) != 0 || ::_lseeki64(m_descriptor, 0, SEEK_SET) < 0)
        return systemError("cannot write '" + m_name + "': ", errno, FailureKind::Unwritable);
    return {};
}

Result<void> OpenFile::truncate(std::uint64_t size)
{
    if (::_chsize_s(m_descriptor, static_cast<long long>(size)) != 0)
        return systemError("cannot cut '" + m_name + "' short: ", errno, FailureKind::Unwritable);
    return {};
}

Result<void> OpenFile::sync()
{
    if (::_commit(m_descriptor) != 0)
        return systemError("cannot save '" + m_name + "' to disk: ", errno, FailureKind::Unwritable);
    return {};
}

Result<void> OpenFile::close()
{
    if (m_descriptor < 0)
        return {};
    if (::_close(std::exchange(m_descriptor, -1)) != 0)
        return systemError("cannot write '" + m_name + "': ", errno, FailureKind::Unwritable);
    return {};
}

std::FILE *OpenFile::streamFromStart() const
{
    const int copy = ::_dup(m_descriptor);
    if (copy < 0)
        return nullptr;
    std::FILE *stream = ::_fdopen(copy, "rb");
    if (!stream) {
        ::_close(copy);
        return nullptr;
    }
    std::rewind(stream);
    return stream;
}

#else

OpenFile::~OpenFile()
{
    if (m_descriptor >= 0)
        ::close(m_descriptor);
}

Result<OpenFile> OpenFile::openForReading(const std::string &path)
{
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0)
        return systemError("cannot open '" + path + "': ", errno, FailureKind::Unreadable);
    return OpenFile(descriptor, path);
}

Result<OpenFile> OpenFile::makeUnnamed()
{
    const std::string folder = temporaryFolder();
    const std::string name = "a file without a name in '" + folder + "'";
#ifdef O_TMPFILE
    if (const int descriptor = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600); descriptor >= 0)
        return OpenFile(descriptor, name);
#endif
#ifdef MFD_CLOEXEC
    // A file system without unnamed files: a file in memory instead.
    if (const int descriptor = ::memfd_create("tessaly", MFD_CLOEXEC); descriptor >= 0)
        return OpenFile(descriptor, "a file in memory");
#endif
    std::string pattern = folder + "/.tessaly-XXXXXX";
    const int descriptor = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (descriptor < 0)
        return systemError("cannot make a file in '" + folder + "': ", errno, FailureKind::Unwritable);
    ::unlink(pattern.c_str());
    return OpenFile(descriptor, name);
}

Result<std::uint64_t> OpenFile::size() const
{
    struct stat status
    {
    };
    if (::fstat(m_descriptor, &status) != 0)
        return systemError("cannot read '" + m_name + "': ", errno, FailureKind::Unreadable);
    return static_cast<std::uint64_t>(status.st_size);
}

Result<std::size_t> OpenFile::readAt(std::uint64_t offset, char *into, std::size_t length) const
{
    std::size_t done = 0;
    while (done < length) {
        const ssize_t got = ::pread(m_descriptor, into + done, length - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return systemError("cannot read '" + m_name + "': ", errno, FailureKind::Unreadable);
        if (got == 0)
            break;
        done += static_cast<std::size_t>(got);
    }
    return done;
}

Result<void> OpenFile::write(std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t written = ::write(m_descriptor, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0)
            return systemError("cannot write '" + m_name + "': ", errno, FailureKind::Unwritable);
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return {};
}

Result<void> OpenFile::clear()
{
    if (::ftruncate(m_descriptor, 0) != 0 || ::lseek(m_descriptor, 0, SEEK_SET) < 0)
        return systemError("cannot write '" + m_name + "': ", errno, FailureKind::Unwritable);
    return {};
}

Result<void> OpenFile::truncate(std::uint64_t size)
{
    if (::ftruncate(m_descriptor, static_cast<off_t>(size)) != 0)
        return systemError("cannot cut '" + m_name + "' short: ", errno, FailureKind::Unwritable);
    return {};
}

Result<void> OpenFile::sync()
{
#ifdef __linux__
    // The data and the size that reads need; times and other metadata are left to the system.
    const int synced = ::fdatasync(m_descriptor);
#else
    const int synced = ::fsync(m_descriptor);
#endif
    if (synced != 0)
        return systemError("cannot save '" + m_name + "' to disk: ", errno, FailureKind::Unwritable);
    return {};
}

Result<void> OpenFile::close()
{
    if (m_descriptor < 0)
        return {};
    if (::close(std::exchange(m_descriptor, -1)) != 0)
        return systemError("cannot write '" + m_name + "': ", errno, FailureKind::Unwritable);
    return {};
}

std::FILE *OpenFile::streamFromStart() const
{
    const int copy = ::fcntl(m_descriptor, F_DUPFD_CLOEXEC, 0);
    if (copy < 0)
        return nullptr;
    std::FILE *stream = ::fdopen(copy, "rb");
    if (!stream) {
        ::close(copy);
        return nullptr;
    }
    std::rewind(stream);
    return stream;
}

#endif

Result<std::string> OpenFile::readAll(std::uint64_t maxBytes) const
{
    Result<std::uint64_t> length = size();
    if (!length)
        return length.error();
    std::string bytes(static_cast<std::size_t>(std::min(length.value(), maxBytes)), '\0');
    Result<std::size_t> got = readAt(0, bytes.data(), bytes.size());
    if (!got)
        return got.error();
    bytes.resize(got.value());
    return bytes;
}

} // namespace tessaly
