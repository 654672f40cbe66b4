// The converter the run uses: messages are rendered in watched worker processes and committed
// here, in the order they were begun.
#pragma once

#include "mailconverter/attachments/MessageCommit.h"
#include "platform/ConcurrentMailConverter.h"
#include "platform/MailConverter.h"
#include "workers/WorkerSlot.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tessaly {

/// The warning of a message that converted on its second try, after a crash.
inline constexpr const char *kConvertedAfterACrash = "converted after the converter process crashed once";

/// Renders messages in up to K worker processes (tessaly-worker) at once, so that no message
/// can take the run with it: a message that passes the limits, or makes its worker hang, fails
/// alone with the reason, and the next message gets a fresh worker. A crash is often passing
/// (the system's out-of-memory killer, a fault), so a message whose worker, or the worker's
/// HTML renderer, crashes is rendered once more in a fresh worker, with the warning
/// kConvertedAfterACrash; a second crash fails it alone, or, for the renderer, leaves the
/// page the plain-text renderer drew.
///
/// A worker gets a message file opened here and a file without a name for its output, writes
/// the PDF and the files to save beside it into that, and says where; they are copied from
/// there in bounded chunks and committed here, by the run's own user, in the order the
/// messages were begun, so that this process never holds a whole message or PDF. The worker
/// only renders: every path, and every name a file is saved under, is decided here, the names
/// given in its answer made safe and unique; an answer that is garbled or passes the bounds
/// fails its message ("worker answered out of bounds") and the worker is replaced.
///
/// Each message's names are planned when it is begun, as the output folder stands then, a
/// name planned for an earlier message not yet committed counting as taken. When its turn to
/// be committed comes and a plan made now would differ (an earlier message failed and left its
/// name free), the message is rendered again under the new plan, so the names are exactly
/// those of a run that converts one message at a time.
class IsolatedMailConverter : public MailConverter, public ConcurrentMailConverter
{
public:
    /// `workers` processes render at once (at least 1). `whileWaiting` runs every few tens of
    /// milliseconds while the converter waits, e.g. to keep a window painted; it may be empty.
    /// Whether the workers run in namespaces of their own (prepareWorkerNamespaces), and whether
    /// their HTML renderer keeps Chromium's sandbox (prepareWorkerSandbox), is decided here.
    IsolatedMailConverter(WorkerCommand command, WorkerLimits limits, int workers = 1,
                          std::function<void()> whileWaiting = {});

    using MailConverter::Convert;
    /// One message, begun and finished at once.
    Result<ConvertedMessage> Convert(const FileInFolder &source, const FileInFolder &destination,
                                     const std::string &options) override;

    /// The workers, plus as many messages rendered and waiting for their turn to be committed.
    void takeBackUnrecordedOutputs() override { m_takesBackOutputs = true; }
    int capacity() const override;
    void begin(const FileInFolder &source, const FileInFolder &destination, const std::string &options) override;
    Result<ConvertedMessage> finishOldest() override;
    /// The workers stop when the converter ends.
    void stopWaitingWhen(std::function<bool()> stop) override { m_stopWaiting = std::move(stop); }

    /// Says so when the workers run without namespaces of their own, and when their HTML
    /// renderer runs without Chromium's sandbox.
    std::vector<std::string> runWarnings() const override { return m_runWarnings; }

    /// The process id of worker `index`, 0 when none runs (for tests).
    long workerId(int index = 0) const;

private:
    struct Job
    {
        FileInFolder source;
        FileInFolder destination;
        std::string options;
        std::string mark; ///< its outputs' mark (messageMark, FileMark.h), once it is rendered
        CommitPlan target;
        std::string request; ///< the request's frame, once made; sent again when it moves to a fresh worker
        /// The message file, open while the request is: a second try gets the one the first read.
        std::shared_ptr<const OpenFile> message;
        int slot = -1;            ///< the slot rendering it, -1 when none does
        std::uint64_t handed = 0; ///< in which order it was handed to its slot, which answers in that order
        std::optional<Result<RenderedMessage>> answer;
        int crashedIn = -1; ///< the slot whose worker crashed on it, which renders it again; -1 before a crash
    };

    /// Hands jobs that wait for rendering to slots: idle ones first, then behind a message
    /// another renders.
    void dispatch();
    /// The slot to take `job` next; nullptr when every one it may go to is full.
    WorkerSlot *slotFor(const Job &job);
    void start(Job &job, WorkerSlot &slot);
    /// Takes the answers the workers have sent; waits at most one watch interval for one.
    void collectAnswers();

    std::vector<WorkerSlot> m_slots;
    std::deque<Job> m_jobs; ///< begun and not finished, oldest first
    std::uint64_t m_handed = 0;
    std::function<void()> m_whileWaiting;
    bool m_takesBackOutputs = false;
    std::function<bool()> m_stopWaiting;
    std::chrono::steady_clock::time_point m_nextMemoryCheck;
    std::vector<std::string> m_runWarnings;
};

/// How many workers a run starts unless told: one per processor core this process may use.
int defaultWorkerCount();

/// Makes IsolatedMailConverters of `workers` workers; fails where the system cannot run
/// worker processes.
ConcurrentMailConverterFactory isolatedMailConverterFactory(WorkerCommand command, WorkerLimits limits, int workers,
                                                            std::function<void()> whileWaiting = {});

/// The worker program installed beside the program in `programFolder`.
std::string workerProgramIn(const std::string &programFolder);

/// What a run's choices tell each of its workers at their start.
struct WorkerSettings
{
    bool embedSource = false; ///< each PDF carries its message's source
    int messagePages = 0;     ///< pages one message may fill; 0 leaves the converter's own limit
};

/// The command that starts the worker program beside the program in `programFolder` with
/// `settings`, as the window and the command line both start theirs.
WorkerCommand workerCommand(const std::string &programFolder, const WorkerSettings &settings);

} // namespace tessaly
