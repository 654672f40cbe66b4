// The conversion run: every mailbox of the list, split into messages, named and converted.
#pragma once

#include "conversion/MessagePipeline.h"
#include "conversion/RunInputs.h"
#include "conversion/RunObserver.h"
#include "conversion/RunRecorder.h"
#include "conversion/RunReport.h"
#include "platform/ConcurrentMailConverter.h"
#include "platform/MailConverter.h"
#include "platform/MessageReader.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tessaly {

/// Drives a run over a list of mailbox rows. For every row a MailboxConversion makes the
/// mailbox's output folder and wires the three parts that do the work: the MailboxReader
/// (split mode, splitting and hashing), the MessagePipeline (message file, name, conversion, in
/// order) and the RunRecorder (report, index, observer), which the run owns.
///
/// The settings are fixed at construction, so every message of a run is named and converted
/// alike. Each distinct mailbox file (or range of one) is converted once: a row naming one
/// already converted is skipped and reported.
///
/// A row whose file is not mail (see MailboxStartCheck) fails as not a mailbox; an empty or
/// blank file is an empty mailbox, converted to nothing (see MailboxConversion, which converts
/// each row).
///
/// A failure never ends the run: a message that cannot be written, named or converted is
/// counted and its message file kept (under "email-N.eml", or "email-N (2).eml" when an
/// earlier kept file holds that name); a mailbox that cannot be opened, read or given an
/// output folder is counted and the run goes on with the next one. A read error mid-mailbox
/// keeps the message in hand as its message file, counted failed. Output folders the run
/// made for a mailbox that failed and that stayed empty are removed again. Empty rows are
/// skipped. Everything that went wrong is in the returned RunReport.
///
/// A concurrent converter renders several messages at once while the run splits and names the
/// next ones; the run still records every message (report, index row, progress, observer) in
/// mailbox order, once it is committed. At most the converter's capacity of messages is in
/// flight: the splitter waits for the oldest when it is full.
class ConversionRun
{
public:
    ConversionRun(std::vector<MailboxRow> rows, RunSettings settings, RunObserver &observer,
                  ConcurrentMailConverterFactory makeConverter, MessageReaderFactory makeReader);
    /// A run whose converter takes one message at a time.
    ConversionRun(std::vector<MailboxRow> rows, RunSettings settings, RunObserver &observer,
                  MailConverterFactory makeConverter, MessageReaderFactory makeReader);
    ~ConversionRun();

    /// Converts every row into `outputFolder` (a trailing separator is added where missing).
    /// The converter lives for this call.
    RunReport convertInto(const std::string &outputFolder);

    /// Stops the run soon, from what the observer or the converter's wait calls: messages
    /// already committed stay, those in flight are abandoned and their message files removed,
    /// no further mailbox is started, and the report says the user stopped it. A re-run into
    /// the same folder converts the rest.
    void requestStop();
    bool isStopRequested() const { return m_stopRequested; }
    /// The run also stops once `requested` says so; it is asked as often as the run looks for
    /// a stop (after each piece of a mailbox, each message, and while a conversion is waited
    /// for). For a signal that may only set a flag.
    void stopWhen(std::function<bool()> requested) { m_stopWhen = std::move(requested); }

private:
    /// The bytes row `row` reads: its range's, or the whole mailbox's.
    std::uint64_t rowBytes(int row) const;

    const std::vector<MailboxRow> m_rows;
    const RunSettings m_settings;
    ConcurrentMailConverterFactory m_makeConverter;
    MessageReaderFactory m_makeReader;
    RunRecorder m_recorder;
    /// Whether the run is to stop, asking m_stopWhen.
    bool stopNow();

    bool m_stopRequested = false;
    std::function<bool()> m_stopWhen;
};

} // namespace tessaly
