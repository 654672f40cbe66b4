// One converter worker process, watched while it converts one message at a time.
#pragma once

#include "platform/MailConverter.h"
#include "support/ChildProcess.h"
#include "workers/WorkerLimits.h"
#include "workers/WorkerProtocol.h"

#include <chrono>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tessaly {

/// How to start a worker: the program, its arguments, and whether in namespaces of its own.
struct WorkerCommand
{
    std::string program;
    std::vector<std::string> arguments;
    /// Where a worker cannot be started so, it is started beside the run instead.
    ChildIsolation isolation = ChildIsolation::None;
};

/// A place for one message rendering, and one more waiting in the worker's input so that the
/// worker takes it up the moment it answers, without waiting for us. Each request goes with
/// the message file, open for reading, and a file without a name made here for the worker's
/// output, which the answer's places must lie within; what was rendered is copied from there. The worker behind it
/// starts with the first message and serves the messages after it; a worker that passes a
/// limit, crashes, hangs or garbles its answer is killed with all its helpers, its message
/// fails, and the message waiting behind it goes to a fresh one; so does a worker whose HTML
/// renderer died, once it has answered. A run that renders K messages at once holds K slots.
class WorkerSlot
{
public:
    WorkerSlot(WorkerCommand command, WorkerLimits limits);

    /// Hands a request (as encodeRequest frames it) for the open message file `message` to the
    /// worker, starting one if there is none. Only while idle, or when takesAhead(frame). Fails
    /// when no worker can be started or reached, or no output file made.
    Result<void> begin(std::string frame, std::shared_ptr<const OpenFile> message);

    /// Whether `frame` can wait behind the one message the worker renders, written at once
    /// without waiting for the worker to read.
    bool takesAhead(const std::string &frame) const;

    /// Takes what the worker has sent, without waiting, for the oldest message handed to it.
    /// nullopt while that one is still within its limits (its memory is measured only when
    /// `measureMemory`: that costs a look at every process); else the message it rendered,
    /// or why the message failed: "took longer than 60 s", "needed more than 1.5 GB", how the
    /// worker ended, or "worker answered out of bounds: …" for an answer that is garbled, or
    /// longer than kMaxAnswerBytes, or places bytes outside its output file, or an output file
    /// grown past the memory limit. Only while busy().
    std::optional<Result<RenderedMessage>> collect(bool measureMemory);

    /// Messages handed to it and not yet collected: 0, 1 or 2.
    int messages() const { return static_cast<int>(m_sent.size()); }
    bool busy() const { return !m_sent.empty(); }

    /// The worker while it renders, to wait for its answer among others'; nullptr when idle.
    const ChildProcess *rendering() const { return busy() && m_worker ? &*m_worker : nullptr; }

    /// The worker's process id; 0 when none runs.
    long workerId() const { return m_worker ? m_worker->id() : 0; }

    /// The longest answer frame taken in memory: the PDF and the files come in the output file.
    static constexpr std::uint64_t kMaxAnswerBytes = 16 << 20;

private:
    /// A request handed to the worker and not answered.
    struct Sent
    {
        std::string frame;
        std::shared_ptr<const OpenFile> message;
        std::shared_ptr<const OpenFile> output; ///< made afresh each time the request is written
    };

    /// Writes `sent` to the worker with a fresh output file.
    Result<void> write(Sent &sent);
    /// Fails the oldest message: kills the worker, and hands the messages waiting behind it
    /// to a fresh one.
    Result<RenderedMessage> fail(const std::string &reason, FailureKind kind);
    /// Writes the messages handed and not answered to a fresh worker; the oldest's time starts now.
    Result<void> handToFreshWorker();

    WorkerCommand m_command;
    WorkerLimits m_limits;
    std::optional<ChildProcess> m_worker;
    std::string m_received;
    std::deque<Sent> m_sent; ///< the requests handed and not answered, oldest first
    std::chrono::steady_clock::time_point m_deadline;
    std::chrono::steady_clock::time_point m_nextKeptMemoryCheck;
};

} // namespace tessaly
