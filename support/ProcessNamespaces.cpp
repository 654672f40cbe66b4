#include "support/ProcessNamespaces.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#ifdef __linux__
#include <fcntl.h>
#include <net/if.h>
#include <sched.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace tessaly {
namespace {

struct FailureRecord
{
    int step;
    int error;
};

const char *stepText(int step)
{
    switch (static_cast<NamespaceStep>(step)) {
    case NamespaceStep::MapUser:
        return "cannot map its user into a user namespace";
    case NamespaceStep::PrivateMounts:
        return "cannot make its mounts private";
    case NamespaceStep::ReadOnly:
        return "cannot make the file system read-only";
    case NamespaceStep::Proc:
        return "cannot mount /proc";
    case NamespaceStep::Tmp:
        return "cannot mount /tmp";
    case NamespaceStep::SharedMemory:
        return "cannot mount /dev/shm";
    case NamespaceStep::Loopback:
        return "cannot bring up loopback";
    case NamespaceStep::Execute:
        return "cannot execute it";
    }
    return "cannot set up its namespaces";
}

#ifdef __linux__

/// One line of a user namespace's id map that maps `id` to itself, formatted before the copy
/// is made, since the copy may not allocate.
struct IdMapLine
{
    explicit IdMapLine(unsigned id) { std::snprintf(text, sizeof text, "%u %u 1\n", id, id); }
    char text[48];
};

bool writeWholeFile(const char *path, const char *text)
{
    const int file = ::open(path, O_WRONLY | O_CLOEXEC);
    if (file < 0)
        return false;
    const std::size_t length = std::strlen(text);
    const bool written = ::write(file, text, length) == static_cast<ssize_t>(length);
    const int error = errno;
    ::close(file);
    errno = error;
    return written;
}

/// Mounts an empty tmpfs that everyone may write to, as /tmp is.
bool mountScratch(const char *where)
{
    return ::mount("tmpfs", where, "tmpfs", MS_NOSUID | MS_NODEV, "mode=1777") == 0;
}

bool bringUpLoopback()
{
    const int socket = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (socket < 0)
        return false;
    ifreq request{};
    std::memcpy(request.ifr_name, "lo", 3);
    bool up = ::ioctl(socket, SIOCGIFFLAGS, &request) == 0;
    if (up) {
        request.ifr_flags = static_cast<short>(request.ifr_flags | IFF_UP);
        up = ::ioctl(socket, SIOCSIFFLAGS, &request) == 0;
    }
    const int error = errno;
    ::close(socket);
    errno = error;
    return up;
}

/// Sets the copy's namespaces up; only system calls. Returns the step that failed, or -1.
int setUp(bool ownUser, const IdMapLine &userMap, const IdMapLine &groupMap)
{
    // A user namespace's maps are written once; setgroups must be denied before an
    // unprivileged process may map its group.
    if (ownUser &&
        (!writeWholeFile("/proc/self/setgroups", "deny") || !writeWholeFile("/proc/self/uid_map", userMap.text) ||
         !writeWholeFile("/proc/self/gid_map", groupMap.text)))
        return static_cast<int>(NamespaceStep::MapUser);
    // First, so that none of the mounts below propagates back to this system.
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        return static_cast<int>(NamespaceStep::PrivateMounts);
    mount_attr readOnly{};
    readOnly.attr_set = MOUNT_ATTR_RDONLY;
    if (::mount_setattr(AT_FDCWD, "/", AT_RECURSIVE, &readOnly, sizeof readOnly) != 0)
        return static_cast<int>(NamespaceStep::ReadOnly);
    // A /proc of this namespace's processes, writable: Chromium's sandbox writes the id maps
    // of the namespaces it makes there.
    if (::mount("proc", "/proc", "proc", MS_NOSUID | MS_NODEV | MS_NOEXEC, nullptr) != 0)
        return static_cast<int>(NamespaceStep::Proc);
    if (!mountScratch("/tmp"))
        return static_cast<int>(NamespaceStep::Tmp);
    // Chromium keeps the memory its processes share there; without the folder it is told to
    // use /tmp instead.
    if (::access("/dev/shm", F_OK) == 0 && !mountScratch("/dev/shm"))
        return static_cast<int>(NamespaceStep::SharedMemory);
    if (!bringUpLoopback())
        return static_cast<int>(NamespaceStep::Loopback);
    return -1;
}

#endif

} // namespace

void writeNamespaceFailure(int failures, NamespaceStep step, int error)
{
#ifdef __linux__
    const FailureRecord record{static_cast<int>(step), error};
    // Nothing more can be done when the parent does not listen.
    (void)!::write(failures, &record, sizeof record);
#else
    (void)failures;
    (void)step;
    (void)error;
#endif
}

Result<void> readNamespaceFailure(int failures)
{
#ifdef __linux__
    FailureRecord record{};
    ssize_t length;
    while ((length = ::read(failures, &record, sizeof record)) < 0 && errno == EINTR) {
    }
    if (length == static_cast<ssize_t>(sizeof record))
        return Error{std::string(stepText(record.step)) + ": " + std::strerror(record.error), FailureKind::Unsupported};
#else
    (void)failures;
    (void)stepText;
#endif
    return {};
}

long forkIntoOwnNamespaces(int failures)
{
#ifdef __linux__
    const bool ownUser = ::geteuid() != 0;
    const IdMapLine userMap(::geteuid());
    const IdMapLine groupMap(::getegid());
    const unsigned long flags =
        CLONE_NEWNS | CLONE_NEWNET | CLONE_NEWPID | CLONE_NEWIPC | (ownUser ? CLONE_NEWUSER : 0);

    // No handler of this process may run in the copy while it sets itself up.
    sigset_t all;
    sigset_t previous;
    sigfillset(&all);
    ::pthread_sigmask(SIG_SETMASK, &all, &previous);
    // The raw system call, as fork: glibc's clone wants a stack of its own, and fork knows no
    // namespaces.
    const long id = ::syscall(SYS_clone, flags | SIGCHLD, nullptr, nullptr, nullptr, nullptr);
    const int error = errno;
    if (id == 0) {
        const int failed = setUp(ownUser, userMap, groupMap);
        if (failed >= 0) {
            writeNamespaceFailure(failures, static_cast<NamespaceStep>(failed), errno);
            ::_exit(127);
        }
    }
    ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    errno = error;
    return id;
#else
    (void)failures;
    errno = ENOSYS;
    return -1;
#endif
}

Result<void> probeOwnNamespaces()
{
#ifdef __linux__
    int failures[2];
    if (::pipe2(failures, O_CLOEXEC) != 0)
        return Error{std::string("cannot create a pipe: ") + std::strerror(errno), FailureKind::InternalError};
    const long id = forkIntoOwnNamespaces(failures[1]);
    if (id == 0)
        ::_exit(0);
    const int error = errno;
    ::close(failures[1]);
    Result<void> outcome = id < 0
                               ? Result<void>(Error{std::string("cannot make the namespaces: ") + std::strerror(error),
                                                    FailureKind::Unsupported})
                               : readNamespaceFailure(failures[0]);
    ::close(failures[0]);
    if (id > 0) {
        int status = 0;
        while (::waitpid(static_cast<pid_t>(id), &status, 0) < 0 && errno == EINTR) {
        }
    }
    return outcome;
#else
    return Error{"namespaces are not available on this system", FailureKind::Unsupported};
#endif
}

} // namespace tessaly
