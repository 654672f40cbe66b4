// The converter component, converting several messages at once.
#pragma once

#include "platform/MailConverter.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tessaly {

/// Converts up to `capacity()` messages at once. Messages are begun in the run's order and
/// finished in that same order, and what is written for each (its name, a "(n)" number) is
/// what converting one message at a time would have written.
class ConcurrentMailConverter
{
public:
    virtual ~ConcurrentMailConverter() = default;

    /// How many messages may be begun and not yet finished.
    virtual int capacity() const = 0;

    /// Starts converting as MailConverter::Convert would. Only while fewer than capacity()
    /// messages are begun and not finished; a failure to start shows in its finish.
    virtual void begin(const FileInFolder &source, const FileInFolder &destination, const std::string &options) = 0;

    /// Waits for the oldest message begun and not finished, puts its PDF in place and returns
    /// what MailConverter::Convert would have returned for it.
    virtual Result<ConvertedMessage> finishOldest() = 0;

    /// The run resumes earlier ones: a file under a planned name that carries the message's
    /// mark (FileMark.h) is its own output, which a killed run named but did not record, and
    /// is replaced rather than kept beside the new one. Off unless called: converting again
    /// (--force) keeps every file it finds.
    virtual void takeBackUnrecordedOutputs() {}

    /// While it waits in finishOldest(), the converter asks `stop` every few tens of
    /// milliseconds; once it says so, the wait ends, failing the message waited for. For a run
    /// the user stops. A converter that cannot break off its wait finishes as usual.
    virtual void stopWaitingWhen(std::function<bool()> stop) { (void)stop; }

    /// What the run's report should say once about this converter, e.g. that a protection is off.
    virtual std::vector<std::string> runWarnings() const { return {}; }
};

/// Makes the concurrent converter for one run, or says why it cannot.
using ConcurrentMailConverterFactory = std::function<Result<std::unique_ptr<ConcurrentMailConverter>>()>;

/// `converter` behind the concurrent interface: one message at a time, converted when it is finished.
std::unique_ptr<ConcurrentMailConverter> oneAtATime(std::unique_ptr<MailConverter> converter);

/// Makes what `makeConverter` makes, one message at a time.
ConcurrentMailConverterFactory oneAtATime(MailConverterFactory makeConverter);

} // namespace tessaly
