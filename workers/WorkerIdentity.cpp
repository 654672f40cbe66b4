#include "workers/WorkerIdentity.h"

#include "support/PathHelpers.h"
#include "support/ProcessEnvironment.h"
#include "support/ProcessNamespaces.h"
#include "support/SystemReason.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#else
#include <grp.h>
#include <pwd.h>
#include <sched.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace tessaly {
namespace {

constexpr const char *kDisableSandbox = "QTWEBENGINE_DISABLE_SANDBOX";

#ifndef _WIN32

/// Whether a child process, as the workers' user, may make the namespaces Chromium's sandbox
/// puts its renderers in.
bool workersMayMakeNamespaces()
{
    const pid_t child = ::fork();
    if (child < 0)
        return false;
    if (child == 0) {
        const bool dropped = static_cast<bool>(dropAdministratorRights());
        ::_exit(dropped && ::unshare(CLONE_NEWUSER | CLONE_NEWPID | CLONE_NEWNET) == 0 ? 0 : 1);
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}
#endif

} // namespace

Result<void> dropAdministratorRights()
{
    if (!isRunningAsAdministrator())
        return {};
#ifdef _WIN32
    return {};
#else
    const passwd *account = ::getpwnam(kWorkerUser);
    if (!account)
        return Error{std::string("cannot run as '") + kWorkerUser + "': no such user", FailureKind::Unsupported};
    const uid_t user = account->pw_uid;
    const gid_t group = account->pw_gid;
    if (user == 0)
        return Error{std::string("cannot run as '") + kWorkerUser + "': it is the administrator",
                     FailureKind::NotPermitted};
    if (::setgroups(0, nullptr) != 0 || ::setgid(group) != 0 || ::setuid(user) != 0)
        return Error{std::string("cannot run as '") + kWorkerUser + "': " + systemReason(errno),
                     FailureKind::NotPermitted};
    // A drop that could be undone is no drop.
    if (::setuid(0) == 0 || ::geteuid() == 0)
        return Error{std::string("cannot run as '") + kWorkerUser + "': the administrator's rights remain",
                     FailureKind::NotPermitted};
    return {};
#endif
}

std::optional<std::string> prepareWorkerSandbox()
{
#ifdef _WIN32
    return std::nullopt;
#else
    static const std::optional<std::string> decision = []() -> std::optional<std::string> {
        const char *chosen = std::getenv(kDisableSandbox);
        if ((chosen && *chosen) || workersMayMakeNamespaces())
            return std::nullopt;
        setEnvironmentVariableIfUnset(kDisableSandbox, "1");
        return std::string("this system does not let the converter workers create user namespaces, so their "
                           "HTML renderer runs without Chromium's sandbox");
    }();
    return decision;
#endif
}

const WorkerNamespaces &prepareWorkerNamespaces()
{
    static const WorkerNamespaces decision = [] {
        Result<void> probed = probeOwnNamespaces();
        if (probed)
            return WorkerNamespaces{ChildIsolation::OwnNamespaces, std::nullopt};
        return WorkerNamespaces{
            ChildIsolation::None,
            "the converter workers run without namespaces of their own (" + probed.error().message +
                "), so their HTML renderer shares this system's network, processes and file system"};
    }();
    return decision;
}

bool mayUseSharedMemoryFolder()
{
#ifdef _WIN32
    return true;
#else
    return ::access("/dev/shm", W_OK | X_OK) == 0;
#endif
}

Result<PrivateFolder> PrivateFolder::create()
{
    std::error_code error;
    std::filesystem::path base = std::filesystem::temp_directory_path(error);
    if (error)
        base = "/tmp";
#ifdef _WIN32
    const std::filesystem::path path = base / ("tessaly-worker-" + std::to_string(::GetCurrentProcessId()));
    if (!std::filesystem::create_directory(path, error))
        return Error{"cannot create a folder in '" + fromFsPath(base) + "': " + error.message(),
                     FailureKind::Unwritable};
    return PrivateFolder(fromFsPath(path));
#else
    // mkdtemp makes the folder with mode 0700.
    std::string pattern = fromFsPath(base / "tessaly-worker-XXXXXX");
    if (!::mkdtemp(pattern.data()))
        return Error{"cannot create a folder in '" + fromFsPath(base) + "': " + systemReason(errno),
                     FailureKind::Unwritable};
    return PrivateFolder(pattern);
#endif
}

PrivateFolder::PrivateFolder(PrivateFolder &&other) noexcept : m_path(std::move(other.m_path))
{
    other.m_path.clear();
}

PrivateFolder::~PrivateFolder()
{
    if (m_path.empty())
        return;
    std::error_code ignored; // a scratch folder that won't go holds nothing of the user's
    std::filesystem::remove_all(toFsPath(m_path), ignored);
}

void PrivateFolder::makeHome() const
{
    for (const char *name :
         {"HOME", "TMPDIR", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME", "XDG_RUNTIME_DIR"}) {
#ifdef _WIN32
        _putenv_s(name, m_path.c_str());
#else
        ::setenv(name, m_path.c_str(), 1);
#endif
    }
}

} // namespace tessaly
