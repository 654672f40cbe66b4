#include "workers/WorkerSlot.h"

#include <utility>

namespace tessaly {

WorkerSlot::WorkerSlot(WorkerCommand command, WorkerLimits limits)
    : m_command(std::move(command)), m_limits(limits)
{
}

Result<void> WorkerSlot::begin(const WorkerRequest &request)
{
    const std::string frame = encodeRequest(request);
    // A worker that ended while idle is found only when writing to it: try a fresh one once.
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (!m_worker) {
            Result<ChildProcess> started = ChildProcess::start(m_command.program, m_command.arguments);
            if (!started)
                return started.error().within("cannot start a converter process: ");
            m_worker.emplace(std::move(started).value());
        }
        if (m_worker->write(frame)) {
            m_received.clear();
            m_deadline = std::chrono::steady_clock::now() + m_limits.messageTimeout;
            m_busy = true;
            return {};
        }
        m_worker.reset();
    }
    return Error{"cannot reach a converter process"};
}

Result<RenderedMessage> WorkerSlot::fail(const std::string &reason)
{
    m_worker.reset(); // kills it and its helpers
    m_busy = false;
    return Error{reason};
}

std::optional<Result<RenderedMessage>> WorkerSlot::collect(bool measureMemory)
{
    if (!m_busy || !m_worker)
        return Result<RenderedMessage>(Error{"no message was handed to the converter"});

    ChildProcess::ReadStatus status;
    while ((status = m_worker->read(m_received, std::chrono::milliseconds(0))) == ChildProcess::ReadStatus::Data) {
    }
    Result<std::optional<std::string>> frame = takeFrame(m_received);
    if (!frame)
        return fail(frame.error().message);
    if (frame.value()) {
        Result<Result<RenderedMessage>> answer = decodeAnswer(*frame.value());
        if (!answer)
            return fail(answer.error().message);
        m_busy = false;
        // A worker that keeps much memory between messages would push later, harmless
        // messages over the limit: start afresh instead.
        if (m_worker->treeResidentBytes() > m_limits.memoryBytes / 2)
            m_worker.reset();
        return std::move(answer).value();
    }
    if (status == ChildProcess::ReadStatus::Closed) {
        m_worker->killTree();
        const std::string ended = m_worker->howItEnded().value_or("ended");
        return fail("the converter process " + ended);
    }
    if (measureMemory && m_worker->treeResidentBytes() > m_limits.memoryBytes)
        return fail(memoryReason(m_limits));
    if (std::chrono::steady_clock::now() >= m_deadline)
        return fail(timeoutReason(m_limits));
    return std::nullopt;
}

} // namespace tessaly
