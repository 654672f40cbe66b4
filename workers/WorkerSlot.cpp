#include "workers/WorkerSlot.h"

#include <algorithm>
#include <utility>

namespace tessaly {
namespace {

/// How often the memory a worker keeps between messages is looked at: each look reads every process.
constexpr std::chrono::milliseconds kKeptMemoryInterval{250};
/// What a garbled answer, or one past the bounds, fails its message with, before the details.
const std::string kOutOfBounds = "worker answered out of bounds: ";

} // namespace

WorkerSlot::WorkerSlot(WorkerCommand command, WorkerLimits limits) : m_command(std::move(command)), m_limits(limits) {}

Result<void> WorkerSlot::write(Sent &sent)
{
    // A worker that died writing into the last one may have left anything there.
    Result<OpenFile> output = OpenFile::makeUnnamed();
    if (!output)
        return output.error().within("cannot make a file for a converter process's output: ");
    sent.output = std::make_shared<const OpenFile>(std::move(output).value());
    return m_worker->write(sent.frame, {sent.message->descriptor(), sent.output->descriptor()});
}

Result<void> WorkerSlot::handToFreshWorker()
{
    m_worker.reset();
    m_received.clear();
    Result<ChildProcess> started = ChildProcess::start(m_command.program, m_command.arguments, m_command.isolation);
    // The namespaces were tried once before any worker and warned about if refused; a later
    // refusal must not cost the message.
    if (!started && m_command.isolation != ChildIsolation::None)
        started = ChildProcess::start(m_command.program, m_command.arguments);
    if (!started)
        return started.error().within("cannot start a converter process: ");
    m_worker.emplace(std::move(started).value());
    for (Sent &sent : m_sent) {
        if (Result<void> written = write(sent); !written) {
            m_worker.reset();
            return written.error().within("cannot reach a converter process: ");
        }
    }
    m_deadline = std::chrono::steady_clock::now() + m_limits.messageTimeout;
    return {};
}

Result<void> WorkerSlot::begin(std::string frame, std::shared_ptr<const OpenFile> message)
{
    if (busy()) {
        m_sent.push_back(Sent{std::move(frame), std::move(message), nullptr});
        // Should the worker have ended, that shows when the message before is collected, and
        // this one goes to the next worker with whatever else waits.
        if (m_worker)
            (void)write(m_sent.back());
        return {};
    }
    m_sent.push_back(Sent{std::move(frame), std::move(message), nullptr});
    // A worker that ended while idle is found only when writing to it: try a fresh one once.
    if (m_worker && write(m_sent.front())) {
        m_deadline = std::chrono::steady_clock::now() + m_limits.messageTimeout;
        return {};
    }
    Result<void> handed = handToFreshWorker();
    if (!handed)
        m_sent.clear();
    return handed;
}

bool WorkerSlot::takesAhead(const std::string &frame) const
{
    // The worker reads a whole request before it renders, so the one it renders may still be
    // unread in its input; both must fit, so that no write waits on a worker that hangs.
    return m_worker && m_sent.size() == 1 && m_sent.front().frame.size() + frame.size() <= m_worker->inputBufferBytes();
}

Result<RenderedMessage> WorkerSlot::fail(const std::string &reason, FailureKind kind)
{
    m_worker.reset(); // kills it and its helpers
    m_sent.pop_front();
    if (busy()) {
        // If no worker can be had, the next collect says why, for the next message.
        (void)handToFreshWorker();
    }
    return Error{reason, kind};
}

std::optional<Result<RenderedMessage>> WorkerSlot::collect(bool measureMemory)
{
    if (!busy())
        return Result<RenderedMessage>(Error{"no message was handed to the converter", FailureKind::InternalError});
    if (!m_worker) {
        if (Result<void> handed = handToFreshWorker(); !handed) {
            m_sent.pop_front();
            return Result<RenderedMessage>(handed.error());
        }
    }

    ChildProcess::ReadStatus status;
    while ((status = m_worker->read(m_received, std::chrono::milliseconds(0))) == ChildProcess::ReadStatus::Data) {
    }
    // The PDF and the files come in the output file: the answer itself stays small.
    Result<std::optional<std::string>> frame = takeFrame(m_received, std::min(m_limits.memoryBytes, kMaxAnswerBytes));
    if (!frame)
        return fail(kOutOfBounds + frame.error().message, FailureKind::WorkerOutOfBounds);
    if (frame.value()) {
        Result<Result<RenderedMessage>> answer = decodeAnswer(*frame.value(), m_sent.front().output);
        if (!answer)
            return fail(kOutOfBounds + answer.error().message, FailureKind::WorkerOutOfBounds);
        m_sent.pop_front();
        const auto now = std::chrono::steady_clock::now();
        // The worker has taken up the next message, if one waits.
        m_deadline = now + m_limits.messageTimeout;
        // A worker whose HTML renderer died may hold what made it die, and one that keeps
        // much memory between messages would push later, harmless messages over the limit:
        // either starts afresh.
        bool startAfresh = answer.value() && answer.value().value().htmlRendererCrashed;
        if (!startAfresh && now >= m_nextKeptMemoryCheck) {
            m_nextKeptMemoryCheck = now + kKeptMemoryInterval;
            startAfresh = m_worker->treeResidentBytes() > m_limits.memoryBytes / 2;
        }
        if (startAfresh) {
            m_worker.reset();
            if (busy())
                (void)handToFreshWorker();
        }
        return std::move(answer).value();
    }
    if (status == ChildProcess::ReadStatus::Closed) {
        m_worker->killTree();
        const std::string ended = m_worker->howItEnded().value_or("ended");
        return fail("the converter process " + ended, FailureKind::WorkerCrashed);
    }
    if (measureMemory && m_worker->treeResidentBytes() > m_limits.memoryBytes)
        return fail(memoryReason(m_limits), FailureKind::OverMemoryLimit);
    // What it writes comes from its memory; more than that is a worker gone astray filling the disk.
    if (measureMemory && m_sent.front().output) {
        Result<std::uint64_t> written = m_sent.front().output->size();
        if (written && written.value() > m_limits.memoryBytes)
            return fail(kOutOfBounds + "it wrote " + std::to_string(written.value()) + " bytes to its output file",
                        FailureKind::WorkerOutOfBounds);
    }
    if (std::chrono::steady_clock::now() >= m_deadline)
        return fail(timeoutReason(m_limits), FailureKind::OverTimeLimit);
    return std::nullopt;
}

} // namespace tessaly
