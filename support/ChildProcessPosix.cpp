// ChildProcess on POSIX: posix_spawn or a fork into namespaces of its own, a Unix socket in,
// a pipe out, and the process tree read from /proc.
#include "support/ChildProcess.h"

#include "support/DescriptorChannel.h"
#include "support/PathHelpers.h"
#include "support/ProcessNamespaces.h"
#include "support/SystemReason.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <map>
#include <utility>

extern char **environ;

namespace tessaly {

std::string programFileName(std::string_view baseName)
{
    return std::string(baseName);
}

std::string runningProgramFolder()
{
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string() : fromFsPath(program.parent_path());
}

namespace {

/// Parent id and resident pages of one process, from /proc/<id>/stat.
bool readProcessStat(const char *id, long &parent, std::uint64_t &residentPages)
{
    char path[320];
    std::snprintf(path, sizeof path, "/proc/%s/stat", id);
    const int file = ::open(path, O_RDONLY | O_CLOEXEC);
    if (file < 0)
        return false;
    char text[1024];
    const ssize_t length = ::read(file, text, sizeof text - 1);
    ::close(file);
    if (length <= 0)
        return false;
    text[length] = '\0';
    // The command name is in parentheses and may hold anything, so count from the last ')'.
    const char *fields = std::strrchr(text, ')');
    if (!fields)
        return false;
    char state = 0;
    unsigned long long rss = 0;
    // After the name: state ppid pgrp session tty tpgid flags minflt cminflt majflt cmajflt
    // utime stime cutime cstime priority nice threads itrealvalue starttime vsize rss.
    if (std::sscanf(fields + 1,
                    " %c %ld %*d %*d %*d %*d %*u %*u %*u %*u %*u %*u %*u %*d %*d %*d %*d %*d %*d %*u %*u %llu", &state,
                    &parent, &rss) != 3)
        return false;
    residentPages = rss;
    return true;
}

std::string describeStatus(int status)
{
    if (WIFSIGNALED(status))
        return "was killed by signal " + std::to_string(WTERMSIG(status));
    return "exited with status " + std::to_string(WEXITSTATUS(status));
}

/// Starts `program` beside us, its standard input and output `input` and `output`.
Result<long> spawn(const std::string &program, std::vector<char *> &argv, int input, int output)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, input, STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, output, STDOUT_FILENO);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // Its own process group, so that it can be killed with every helper it starts.
    posix_spawnattr_setpgroup(&attributes, 0);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF);

    pid_t id = -1;
    const int spawned = ::posix_spawn(&id, program.c_str(), &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (spawned != 0)
        return Error{"cannot start '" + program + "': " + systemReason(spawned), FailureKind::InternalError};
    return static_cast<long>(id);
}

/// Starts `program` as spawn does, in namespaces of its own, with TMPDIR at their /tmp.
Result<long> startInOwnNamespaces(const std::string &program, std::vector<char *> &argv, int input, int output)
{
    // Everything the child needs is made here: between its start and the program's, it may
    // only make system calls.
    std::vector<std::string> environment;
    for (char **entry = environ; *entry; ++entry) {
        if (std::strncmp(*entry, "TMPDIR=", 7) != 0)
            environment.emplace_back(*entry);
    }
    environment.emplace_back("TMPDIR=/tmp");
    std::vector<char *> envp;
    for (std::string &entry : environment)
        envp.push_back(entry.data());
    envp.push_back(nullptr);

    int failures[2];
    if (::pipe2(failures, O_CLOEXEC) != 0)
        return Error{"cannot create a pipe: " + systemReason(errno), FailureKind::InternalError};
    const long id = forkIntoOwnNamespaces(failures[1]);
    if (id == 0) {
        if (::dup2(input, STDIN_FILENO) < 0 || ::dup2(output, STDOUT_FILENO) < 0 || ::setpgid(0, 0) != 0) {
            writeNamespaceFailure(failures[1], NamespaceStep::Execute, errno);
            ::_exit(127);
        }
        ::signal(SIGPIPE, SIG_DFL);
        ::execve(program.c_str(), argv.data(), envp.data());
        writeNamespaceFailure(failures[1], NamespaceStep::Execute, errno);
        ::_exit(127);
    }
    const int error = errno;
    ::close(failures[1]);
    Result<void> setUp =
        id < 0 ? Result<void>(Error{"cannot make its namespaces: " + systemReason(error), FailureKind::Unsupported})
               : readNamespaceFailure(failures[0]);
    ::close(failures[0]);
    if (!setUp) {
        if (id > 0) {
            int status = 0;
            while (::waitpid(static_cast<pid_t>(id), &status, 0) < 0 && errno == EINTR) {
            }
        }
        return setUp.error().within("cannot start '" + program + "' in namespaces of its own: ");
    }
    return id;
}

} // namespace

bool childProcessesSupported()
{
    return true;
}

void endWithParent()
{
#ifdef __linux__
    const pid_t parent = ::getppid();
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    // The parent may have ended before the notice was asked for.
    if (::getppid() != parent)
        ::_exit(1);
#endif
}

ProcessTreeSample sampleProcessTree(long root)
{
    struct Entry
    {
        long parent;
        std::uint64_t pages;
    };
    std::map<long, Entry> processes;
    if (DIR *proc = ::opendir("/proc")) {
        while (const dirent *entry = ::readdir(proc)) {
            if (entry->d_name[0] < '1' || entry->d_name[0] > '9')
                continue;
            long parent = 0;
            std::uint64_t pages = 0;
            if (readProcessStat(entry->d_name, parent, pages))
                processes[std::atol(entry->d_name)] = Entry{parent, pages};
        }
        ::closedir(proc);
    }
    std::multimap<long, long> children;
    for (const auto &[id, entry] : processes)
        children.emplace(entry.parent, id);

    ProcessTreeSample sample;
    if (!processes.contains(root))
        return sample;
    static const std::uint64_t pageSize = static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE));
    sample.ids.push_back(root);
    for (std::size_t next = 0; next < sample.ids.size(); ++next) {
        const long id = sample.ids[next];
        sample.residentBytes += processes[id].pages * pageSize;
        const auto [first, last] = children.equal_range(id);
        for (auto it = first; it != last; ++it)
            sample.ids.push_back(it->second);
    }
    return sample;
}

Result<ChildProcess> ChildProcess::start(const std::string &program, const std::vector<std::string> &arguments,
                                         ChildIsolation isolation)
{
    // A child that dies while we write to it must give us an error, not end this process.
    ::signal(SIGPIPE, SIG_IGN);

    // A socket, so that open files can travel with the bytes.
    int input[2];
    int output[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, input) != 0)
        return Error{"cannot create a socket: " + systemReason(errno), FailureKind::InternalError};
    // The child only reads, we only write.
    ::shutdown(input[1], SHUT_RD);
    ::shutdown(input[0], SHUT_WR);
    if (::pipe2(output, O_CLOEXEC) != 0) {
        const int error = errno;
        ::close(input[0]);
        ::close(input[1]);
        return Error{"cannot create a pipe: " + systemReason(error), FailureKind::InternalError};
    }

    // Room for a request or two waiting while the child works; the system may give less.
    constexpr int kInputBufferBytes = 1 << 20;
    (void)::setsockopt(input[1], SOL_SOCKET, SO_SNDBUF, &kInputBufferBytes, sizeof kInputBufferBytes);

    std::vector<char *> argv;
    argv.push_back(const_cast<char *>(program.c_str()));
    for (const std::string &argument : arguments)
        argv.push_back(const_cast<char *>(argument.c_str()));
    argv.push_back(nullptr);

    Result<long> started = isolation == ChildIsolation::OwnNamespaces
                               ? startInOwnNamespaces(program, argv, input[0], output[1])
                               : spawn(program, argv, input[0], output[1]);
    ::close(input[0]);
    ::close(output[1]);
    if (!started) {
        ::close(input[1]);
        ::close(output[0]);
        return started.error();
    }
    return ChildProcess(started.value(), input[1], output[0]);
}

ChildProcess::ChildProcess(ChildProcess &&other) noexcept
    : m_id(std::exchange(other.m_id, -1)), m_input(std::exchange(other.m_input, -1)),
      m_output(std::exchange(other.m_output, -1)), m_ended(std::move(other.m_ended))
{
}

ChildProcess &ChildProcess::operator=(ChildProcess &&other) noexcept
{
    if (this != &other) {
        killTree();
        m_id = std::exchange(other.m_id, -1);
        m_input = std::exchange(other.m_input, -1);
        m_output = std::exchange(other.m_output, -1);
        m_ended = std::move(other.m_ended);
    }
    return *this;
}

ChildProcess::~ChildProcess()
{
    killTree();
}

void ChildProcess::closePipes()
{
    if (m_input >= 0)
        ::close(m_input);
    if (m_output >= 0)
        ::close(m_output);
    m_input = m_output = -1;
}

Result<void> ChildProcess::write(std::string_view bytes, const std::vector<int> &files)
{
    if (Result<void> sent = sendWithDescriptors(m_input, bytes, files); !sent)
        return sent.error().within("process " + std::to_string(m_id) + ": ");
    return {};
}

std::size_t ChildProcess::inputBufferBytes() const
{
    int size = 0;
    socklen_t length = sizeof size;
    if (m_input < 0 || ::getsockopt(m_input, SOL_SOCKET, SO_SNDBUF, &size, &length) != 0 || size <= 0)
        return 0;
    // The system counts its own bookkeeping of each write against this room too (Linux
    // reports double what it was asked for, for that reason): half is surely free for bytes.
    return static_cast<std::size_t>(size) / 2;
}

ChildProcess::ReadStatus ChildProcess::read(std::string &buffer, std::chrono::milliseconds wait)
{
    if (m_output < 0)
        return ReadStatus::Closed;
    pollfd ready{m_output, POLLIN, 0};
    const int polled = ::poll(&ready, 1, static_cast<int>(wait.count()));
    if (polled == 0 || (polled < 0 && errno == EINTR))
        return ReadStatus::NothingYet;
    char chunk[65536];
    const ssize_t length = ::read(m_output, chunk, sizeof chunk);
    if (length < 0 && errno == EINTR)
        return ReadStatus::NothingYet;
    if (length <= 0)
        return ReadStatus::Closed;
    buffer.append(chunk, static_cast<std::size_t>(length));
    return ReadStatus::Data;
}

void ChildProcess::waitForAnyOutput(const std::vector<const ChildProcess *> &processes, std::chrono::milliseconds wait)
{
    std::vector<pollfd> outputs;
    for (const ChildProcess *process : processes) {
        if (process->m_output >= 0)
            outputs.push_back(pollfd{process->m_output, POLLIN, 0});
    }
    if (outputs.empty())
        return;
    ::poll(outputs.data(), outputs.size(), static_cast<int>(wait.count()));
}

std::uint64_t ChildProcess::treeResidentBytes() const
{
    return m_id > 0 ? sampleProcessTree(m_id).residentBytes : 0;
}

void ChildProcess::killTree()
{
    closePipes();
    if (m_id <= 0)
        return;
    // Helpers may have left the group; the tree finds them, the group finds those whose
    // parent has already gone. The group's id stays reserved while any member lives.
    if (!m_ended) {
        for (long id : sampleProcessTree(m_id).ids)
            ::kill(static_cast<pid_t>(id), SIGKILL);
    }
    ::kill(-static_cast<pid_t>(m_id), SIGKILL);
    if (!m_ended) {
        int status = 0;
        while (::waitpid(static_cast<pid_t>(m_id), &status, 0) < 0 && errno == EINTR) {
        }
        m_ended = describeStatus(status);
    }
    m_id = -1;
}

std::optional<std::string> ChildProcess::howItEnded()
{
    if (m_ended || m_id <= 0)
        return m_ended;
    int status = 0;
    if (::waitpid(static_cast<pid_t>(m_id), &status, WNOHANG) == static_cast<pid_t>(m_id))
        m_ended = describeStatus(status);
    return m_ended;
}

std::FILE *reserveStandardOutput()
{
    const int reserved = ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
    if (reserved < 0)
        return nullptr;
    if (::dup2(STDERR_FILENO, STDOUT_FILENO) < 0) {
        ::close(reserved);
        return nullptr;
    }
    return ::fdopen(reserved, "wb");
}

} // namespace tessaly
