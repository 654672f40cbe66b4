// The converter the run uses: each message is converted in a watched worker process.
#pragma once

#include "MailConverter.h"
#include "WorkerSlot.h"

#include <chrono>
#include <functional>
#include <string>

namespace tessaly {

/// Converts each message in a worker process (tessaly-worker, which hosts the real
/// converter), so that no message can take the run with it: a message that takes longer
/// than the limits allow, or makes the worker crash or hang, fails alone with the reason
/// and the next message gets a fresh worker. One message is in flight at a time.
class IsolatedMailConverter : public MailConverter
{
public:
    /// `whileWaiting` runs every few tens of milliseconds while a message converts, e.g. to
    /// keep a window painted; it may be empty.
    IsolatedMailConverter(WorkerCommand command, WorkerLimits limits, std::function<void()> whileWaiting = {});

    Result<ConvertedMessage> Convert(const std::string &source, const std::string &destination,
                                     const std::string &options) override;

    /// The current worker's process id, 0 when none runs (for tests).
    long workerId() const { return m_slot.workerId(); }

private:
    WorkerSlot m_slot;
    std::function<void()> m_whileWaiting;
};

/// Makes IsolatedMailConverters; fails where the system cannot run worker processes.
MailConverterFactory isolatedMailConverterFactory(WorkerCommand command, WorkerLimits limits,
                                                  std::function<void()> whileWaiting = {});

/// The worker program installed beside the program in `programFolder`.
std::string workerProgramIn(const std::string &programFolder);

} // namespace tessaly
