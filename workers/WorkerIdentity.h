// Who a converter worker runs as, the room it works in, and whether its HTML renderer can
// keep Chromium's sandbox.
#pragma once

#include "support/ChildProcess.h"
#include "support/Result.h"

#include <optional>
#include <string>

namespace tessaly {

/// The account that workers started by the administrator run as.
inline constexpr const char *kWorkerUser = "nobody";

/// When this process runs as the administrator (root), makes it run as `kWorkerUser` for good:
/// no supplementary groups, that account's group and user. Does nothing otherwise. Fails with
/// the reason when it cannot, so that a worker never reads a message with full rights.
Result<void> dropAdministratorRights();

/// Decides, at its first call in a process and before any worker starts, whether the workers'
/// HTML renderer keeps Chromium's sandbox. The sandbox needs user namespaces that the workers'
/// user may create; where they cannot, it is turned off for every worker of this process, and
/// the returned text (the same at every call) says so. Says nothing when
/// QTWEBENGINE_DISABLE_SANDBOX was set before: whoever set it has chosen.
std::optional<std::string> prepareWorkerSandbox();

/// How workers are started in this process, decided once, at the first call.
struct WorkerNamespaces
{
    ChildIsolation isolation = ChildIsolation::None;
    /// Why workers run without namespaces of their own, when they do; the same at every call.
    std::optional<std::string> warning;
};

/// Decides, at its first call in a process, whether workers start in namespaces of their own
/// (forkIntoOwnNamespaces) by starting one such process. Where the system refuses (a container,
/// a kernel without user namespaces for other users than the administrator), workers start
/// beside the run and the warning says which layer they lack.
const WorkerNamespaces &prepareWorkerNamespaces();

/// Whether this process may make files in /dev/shm, where Chromium keeps the memory its processes
/// share. Containers and chroots often give that folder to root alone; an unprivileged worker
/// there has Chromium use its temporary folder instead.
bool mayUseSharedMemoryFolder();

/// A folder that only this process's user may enter, removed with all it holds at the end: a
/// worker's home, caches and scratch files.
class PrivateFolder
{
public:
    static Result<PrivateFolder> create();
    PrivateFolder(PrivateFolder &&other) noexcept;
    PrivateFolder &operator=(PrivateFolder &&) = delete;
    PrivateFolder(const PrivateFolder &) = delete;
    PrivateFolder &operator=(const PrivateFolder &) = delete;
    ~PrivateFolder();

    const std::string &path() const { return m_path; }

    /// Points HOME, TMPDIR and the XDG folders of this process at this folder, so that
    /// nothing the libraries keep lands in another user's home.
    void makeHome() const;

private:
    explicit PrivateFolder(std::string path) : m_path(std::move(path)) {}
    std::string m_path;
};

} // namespace tessaly
