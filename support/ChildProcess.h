// A helper program run beside us, talking over its standard input and output.
#pragma once

#include "support/Result.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessaly {

/// Whether this system can run ChildProcess at all (POSIX: yes; elsewhere: not yet).
bool childProcessesSupported();

/// Where a child process runs: beside us, or in namespaces of its own (forkIntoOwnNamespaces).
enum class ChildIsolation
{
    None,
    OwnNamespaces
};

/// A child process in a process group of its own, whose standard input is a Unix socket from
/// us (POSIX), which can pass open files along with the bytes (receiveWithDescriptors reads
/// them), whose standard output is a pipe to us and whose standard error is ours. Destroying it kills it with all its
/// descendants. Writing to a child that has ended fails instead of raising SIGPIPE: starting
/// the first child makes this process ignore that signal.
class ChildProcess
{
public:
    /// Starts `program` with `arguments`; fails with the OS reason when it cannot. In namespaces
    /// of its own, its TMPDIR is /tmp, which it may write to there, and it fails with the step
    /// the system refused.
    static Result<ChildProcess> start(const std::string &program, const std::vector<std::string> &arguments,
                                      ChildIsolation isolation = ChildIsolation::None);

    ChildProcess(ChildProcess &&other) noexcept;
    ChildProcess &operator=(ChildProcess &&other) noexcept;
    ChildProcess(const ChildProcess &) = delete;
    ChildProcess &operator=(const ChildProcess &) = delete;
    ~ChildProcess();

    /// Writes all of `bytes` to the child's standard input, `files` passed along with the
    /// first of them (sendWithDescriptors): the child gets descriptors of the same open files.
    Result<void> write(std::string_view bytes, const std::vector<int> &files = {});

    /// How many bytes the child's standard input surely holds unread before a write waits for
    /// it (enlarged at start where the system allows); 0 where the system does not say.
    std::size_t inputBufferBytes() const;

    enum class ReadStatus
    {
        Data,
        NothingYet,
        Closed
    };
    /// Appends what the child has written to `buffer`, waiting at most `wait` for something.
    /// Closed once the child has closed its standard output (it has usually ended).
    ReadStatus read(std::string &buffer, std::chrono::milliseconds wait);

    /// Waits at most `wait` until one of `processes` has written something or closed its
    /// standard output, so that one thread can watch many children.
    static void waitForAnyOutput(const std::vector<const ChildProcess *> &processes, std::chrono::milliseconds wait);

    /// The resident memory of the child and all its descendants together, in bytes.
    std::uint64_t treeResidentBytes() const;

    /// Kills the child and all its descendants at once and reaps the child.
    void killTree();

    /// How the child ended, e.g. "was killed by signal 11" or "exited with status 3";
    /// nullopt while it runs. Reaps it once it has ended.
    std::optional<std::string> howItEnded();

    long id() const { return m_id; }

private:
    ChildProcess(long id, int input, int output) : m_id(id), m_input(input), m_output(output) {}
    void closePipes();

    long m_id = -1;
    int m_input = -1;  ///< our end of its standard input
    int m_output = -1; ///< our end of its standard output
    std::optional<std::string> m_ended;
};

/// The ids of `root` and of all its descendants (POSIX: read from /proc), and their resident
/// memory together. Empty, with 0 bytes, where the system does not say.
struct ProcessTreeSample
{
    std::vector<long> ids;
    std::uint64_t residentBytes = 0;
};
ProcessTreeSample sampleProcessTree(long root);

/// Makes this process end when the process that started it ends, however that ends, so
/// that a child is never left working for nobody. Does nothing where the system has no such
/// notice (the parent's end then closes the child's standard input, which a worker reads).
void endWithParent();

/// The file name of a program called `baseName` on this system ("tessaly-worker", or
/// "tessaly-worker.exe" on Windows).
std::string programFileName(std::string_view baseName);

/// The folder of the running program's executable; "" when the system does not say.
std::string runningProgramFolder();

/// Makes standard output a copy of standard error and returns a new stream on the original
/// standard output, so that a program whose standard output carries a protocol is not
/// corrupted by what its libraries print. nullptr when it cannot.
std::FILE *reserveStandardOutput();

} // namespace tessaly
