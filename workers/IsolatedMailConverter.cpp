#include "workers/IsolatedMailConverter.h"

#include "mailconverter/readers/AttachmentNames.h"
#include "support/FileMark.h"
#include "support/PathHelpers.h"
#include "support/ProcessEnvironment.h"
#include "workers/WorkerIdentity.h"

#include <algorithm>
#include <memory>
#include <set>
#include <utility>

namespace tessaly {
namespace {

/// How long one wait for the workers' answers lasts at most, between looks at their limits.
constexpr std::chrono::milliseconds kWatchInterval{50};
/// Often enough to see a runaway allocation early; each look reads every process.
constexpr std::chrono::milliseconds kMemoryInterval{100};

/// `answer` with the names of the files to save made safe here, whatever the worker sent:
/// unique, ignoring case, among themselves and against the attachments folder as planned. For
/// the names a worker makes by the same rules, nothing changes, and the PDF's links hold.
RenderedMessage withSafeNames(RenderedMessage answer, const CommitPlan &target)
{
    UniqueNames names;
    for (const std::string &name : target.namesInAttachmentFolder)
        names.reserve(name);
    int index = 0;
    for (FileToSave &file : answer.attachments)
        file.name = names.claim(safeNameToSave(file.name, ++index));
    return answer;
}

/// Whether `answer` says that its worker, or the worker's HTML renderer, crashed. A message
/// past a limit would only pass it again, and is not counted.
bool isCrash(const Result<RenderedMessage> &answer)
{
    return answer ? answer.value().htmlRendererCrashed : answer.error().kind == FailureKind::WorkerCrashed;
}

} // namespace

IsolatedMailConverter::IsolatedMailConverter(WorkerCommand command, WorkerLimits limits, int workers,
                                             std::function<void()> whileWaiting)
    : m_whileWaiting(std::move(whileWaiting))
{
    const WorkerNamespaces &namespaces = prepareWorkerNamespaces();
    command.isolation = namespaces.isolation;
    if (namespaces.warning)
        m_runWarnings.push_back(*namespaces.warning);
    if (std::optional<std::string> unsandboxed = prepareWorkerSandbox())
        m_runWarnings.push_back(*unsandboxed);
    for (int i = 0; i < std::max(workers, 1); ++i)
        m_slots.emplace_back(command, limits);
}

Result<ConvertedMessage> IsolatedMailConverter::Convert(const FileInFolder &source, const FileInFolder &destination,
                                                        const std::string &options)
{
    begin(source, destination, options);
    return finishOldest();
}

int IsolatedMailConverter::capacity() const
{
    // Per worker: one message rendering, one waiting in its input, one rendered and waiting
    // for its turn to be committed, so that no worker waits for a slower one's message.
    return 3 * static_cast<int>(m_slots.size());
}

void IsolatedMailConverter::begin(const FileInFolder &source, const FileInFolder &destination,
                                  const std::string &options)
{
    std::set<std::string> planned;
    for (const Job &job : m_jobs)
        planned.insert(job.target.pdfPath);
    m_jobs.push_back(
        Job{source, destination, options, {}, planCommit(destination, planned), {}, nullptr, -1, 0, std::nullopt, -1});
    dispatch();
}

WorkerSlot *IsolatedMailConverter::slotFor(const Job &job)
{
    // After a crash, its slot's worker is one started since.
    if (job.crashedIn >= 0) {
        WorkerSlot &slot = m_slots[static_cast<std::size_t>(job.crashedIn)];
        return !slot.busy() || slot.takesAhead(job.request) ? &slot : nullptr;
    }
    const auto idle = std::find_if(m_slots.begin(), m_slots.end(), [](const WorkerSlot &slot) { return !slot.busy(); });
    if (idle != m_slots.end())
        return &*idle;
    const auto behind = std::find_if(m_slots.begin(), m_slots.end(),
                                     [&](const WorkerSlot &slot) { return slot.takesAhead(job.request); });
    return behind != m_slots.end() ? &*behind : nullptr;
}

void IsolatedMailConverter::start(Job &job, WorkerSlot &slot)
{
    Result<void> begun = slot.begin(job.request, job.message);
    if (!begun) {
        job.answer = Result<RenderedMessage>(begun.error());
        return;
    }
    job.slot = static_cast<int>(&slot - m_slots.data());
    job.handed = ++m_handed;
}

void IsolatedMailConverter::dispatch()
{
    for (Job &job : m_jobs) {
        if (job.answer || job.slot >= 0)
            continue;
        if (job.request.empty()) {
            // Handed over open, never read here.
            Result<OpenFile> message = job.source.folder.openForReading(job.source.name);
            if (!message) {
                job.answer = Result<RenderedMessage>(message.error());
                continue;
            }
            job.message = std::make_shared<const OpenFile>(std::move(message).value());
            job.request = encodeRequest(WorkerRequest{job.source.path(), job.target, job.options});
        }
        WorkerSlot *slot = slotFor(job);
        if (!slot)
            return;
        start(job, *slot);
    }
}

void IsolatedMailConverter::collectAnswers()
{
    std::vector<const ChildProcess *> rendering;
    for (const WorkerSlot &slot : m_slots) {
        if (const ChildProcess *process = slot.rendering())
            rendering.push_back(process);
    }
    ChildProcess::waitForAnyOutput(rendering, kWatchInterval);

    const auto now = std::chrono::steady_clock::now();
    const bool measureMemory = now >= m_nextMemoryCheck;
    if (measureMemory)
        m_nextMemoryCheck = now + kMemoryInterval;
    for (std::size_t index = 0; index < m_slots.size(); ++index) {
        WorkerSlot &slot = m_slots[index];
        bool measure = measureMemory;
        while (slot.busy()) {
            std::optional<Result<RenderedMessage>> answer = slot.collect(measure);
            if (!answer)
                break;
            measure = false;
            // The slot answers for the job it was handed first.
            Job *oldest = nullptr;
            for (Job &job : m_jobs) {
                if (job.slot == static_cast<int>(index) && (!oldest || job.handed < oldest->handed))
                    oldest = &job;
            }
            if (!oldest)
                continue;
            oldest->slot = -1;
            if (isCrash(*answer) && oldest->crashedIn < 0) {
                oldest->crashedIn = static_cast<int>(index);
                continue;
            }
            oldest->answer = std::move(answer);
        }
    }
}

Result<ConvertedMessage> IsolatedMailConverter::finishOldest()
{
    if (m_jobs.empty())
        return Error{"no message was handed to the converter", FailureKind::InternalError};
    for (;;) {
        Job &oldest = m_jobs.front();
        if (oldest.answer && oldest.answer->ok()) {
            // Every message before it is committed now: plan as a one-at-a-time run would. The
            // message's own earlier outputs, which a killed run left unrecorded, are known by
            // its mark only now; their names are free for it.
            oldest.mark = messageMark(oldest.answer->value().messageDigest, oldest.source.name);
            CommitPlan now = planCommit(oldest.destination, {}, {oldest.mark, m_takesBackOutputs});
            if (now != oldest.target) {
                oldest.target = std::move(now);
                oldest.request.clear();
                oldest.answer.reset();
            }
        }
        dispatch();
        if (oldest.answer)
            break;
        collectAnswers();
        if (m_whileWaiting)
            m_whileWaiting();
        if (m_stopWaiting && m_stopWaiting()) {
            // Its worker renders on until the converter ends; its answer then finds no job.
            m_jobs.pop_front();
            return Error{"the run was stopped", FailureKind::StoppedByUser};
        }
    }
    Job finished = std::move(m_jobs.front());
    m_jobs.pop_front();
    dispatch();
    Result<RenderedMessage> &answer = *finished.answer;
    if (!answer)
        return answer.error();
    RenderedMessage rendered = withSafeNames(std::move(answer).value(), finished.target);
    // Drawn by the plain-text renderer after a second crash, it has that one's warning.
    if (finished.crashedIn >= 0 && !rendered.htmlRendererCrashed)
        rendered.converted.warnings.push_back(kConvertedAfterACrash);
    const FileInFolder pdf{finished.destination.folder, PathFileName(finished.target.pdfPath)};
    return commitRenderedMessage(pdf, std::move(rendered), {finished.mark, m_takesBackOutputs});
}

long IsolatedMailConverter::workerId(int index) const
{
    return index >= 0 && index < static_cast<int>(m_slots.size()) ? m_slots[static_cast<std::size_t>(index)].workerId()
                                                                  : 0;
}

int defaultWorkerCount()
{
    return usableProcessorCount();
}

ConcurrentMailConverterFactory isolatedMailConverterFactory(WorkerCommand command, WorkerLimits limits, int workers,
                                                            std::function<void()> whileWaiting)
{
    return [command = std::move(command), limits, workers,
            whileWaiting = std::move(whileWaiting)]() -> Result<std::unique_ptr<ConcurrentMailConverter>> {
        if (!childProcessesSupported())
            return Error{"this system cannot run the converter in a separate process", FailureKind::Unsupported};
        return std::unique_ptr<ConcurrentMailConverter>(
            std::make_unique<IsolatedMailConverter>(command, limits, workers, whileWaiting));
    };
}

std::string workerProgramIn(const std::string &programFolder)
{
    return joinPath(programFolder, programFileName("tessaly-worker"));
}

WorkerCommand workerCommand(const std::string &programFolder, const WorkerSettings &settings)
{
    WorkerCommand command{workerProgramIn(programFolder), {}};
    if (settings.embedSource)
        command.arguments.push_back(kWorkerEmbedSourceArgument);
    if (settings.messagePages > 0)
        command.arguments.push_back(std::string(kWorkerMessagePagesArgument) + "=" +
                                    std::to_string(settings.messagePages));
    return command;
}

} // namespace tessaly
