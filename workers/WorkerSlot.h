// One converter worker process, watched while it converts one message at a time.
#pragma once

#include "support/ChildProcess.h"
#include "platform/MailConverter.h"
#include "workers/WorkerLimits.h"
#include "workers/WorkerProtocol.h"

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace tessaly {

/// How to start a worker: the program and its arguments.
struct WorkerCommand
{
    std::string program;
    std::vector<std::string> arguments;
};

/// A place for one message rendering. The worker behind it starts with the first message
/// and serves the messages after it; a worker that passes a limit, crashes, hangs or
/// garbles its answer is killed with all its helpers, and the next message gets a fresh
/// one. A run that renders K messages at once holds K slots.
class WorkerSlot
{
public:
    WorkerSlot(WorkerCommand command, WorkerLimits limits);

    /// Hands `request` to the worker, starting one if there is none. Fails when no worker
    /// can be started or reached.
    Result<void> begin(const WorkerRequest &request);

    /// Takes what the worker has sent, without waiting. nullopt while it is still within its
    /// limits (its memory is measured only when `measureMemory`: that costs a look at every
    /// process); else the message it rendered, or why the message failed: "took longer than
    /// 60 s", "needed more than 1.5 GB", or how the worker ended.
    std::optional<Result<RenderedMessage>> collect(bool measureMemory);

    bool busy() const { return m_busy; }

    /// The worker while it renders, to wait for its answer among others'; nullptr when idle.
    const ChildProcess *rendering() const { return m_busy && m_worker ? &*m_worker : nullptr; }

    /// The worker's process id; 0 when none runs.
    long workerId() const { return m_worker ? m_worker->id() : 0; }

private:
    Result<RenderedMessage> fail(const std::string &reason);

    WorkerCommand m_command;
    WorkerLimits m_limits;
    std::optional<ChildProcess> m_worker;
    std::string m_received;
    std::chrono::steady_clock::time_point m_deadline;
    bool m_busy = false;
};

} // namespace tessaly
