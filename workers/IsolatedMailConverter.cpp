// The converter the run uses: each message is converted in a watched worker process.
#include "IsolatedMailConverter.h"

#include "PathHelpers.h"

#include <memory>
#include <utility>

namespace tessaly {
namespace {

/// Often enough to see a runaway allocation early, rarely enough to cost nothing.
constexpr std::chrono::milliseconds kWatchInterval{50};

} // namespace

IsolatedMailConverter::IsolatedMailConverter(WorkerCommand command, WorkerLimits limits,
                                             std::function<void()> whileWaiting)
    : m_slot(std::move(command), limits), m_whileWaiting(std::move(whileWaiting))
{
}

Result<ConvertedMessage> IsolatedMailConverter::Convert(const std::string &source, const std::string &destination,
                                                        const std::string &options)
{
    if (Result<void> begun = m_slot.begin(WorkerRequest{source, destination, options}); !begun)
        return begun.error();
    for (;;) {
        if (std::optional<Result<ConvertedMessage>> answer = m_slot.wait(kWatchInterval))
            return std::move(*answer);
        if (m_whileWaiting)
            m_whileWaiting();
    }
}

MailConverterFactory isolatedMailConverterFactory(WorkerCommand command, WorkerLimits limits,
                                                  std::function<void()> whileWaiting)
{
    return [command = std::move(command), limits,
            whileWaiting = std::move(whileWaiting)]() -> Result<std::unique_ptr<MailConverter>> {
        if (!childProcessesSupported())
            return Error{"this system cannot run the converter in a separate process"};
        return std::unique_ptr<MailConverter>(std::make_unique<IsolatedMailConverter>(command, limits, whileWaiting));
    };
}

std::string workerProgramIn(const std::string &programFolder)
{
    return joinPath(programFolder, programFileName("tessaly-worker"));
}

} // namespace tessaly
