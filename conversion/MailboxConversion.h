// One mailbox of a run: opened, checked, given its output folder, and read through a pipeline.
#pragma once

#include "conversion/MessagePipeline.h"
#include "conversion/OpenedMailbox.h"
#include "conversion/RunInputs.h"
#include "conversion/RunRecorder.h"
#include "platform/ConcurrentMailConverter.h"
#include "platform/MessageReader.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace tessaly {

/// Converts the rows of a run one at a time, for the ConversionRun that owns it: a mailbox file,
/// a range of one, or a source folder (a Maildir or an .eml folder).
///
/// A mailbox file is opened once, for the start check, the probe and the splitting. A file that
/// is not mail fails as not a mailbox, and an empty one is an empty mailbox, before any folder
/// is made. Text before the first envelope line is kept beside the messages (keepLeadingText),
/// and a first message saved without an envelope line is converted with a warning. What earlier
/// runs converted into the folder is left alone unless the run converts everything again.
class MailboxConversion
{
public:
    /// `stopNow` says whether the run is to stop; it is asked after each piece and message.
    MailboxConversion(ConcurrentMailConverter &converter, const RunSettings &settings,
                      const MessageReaderFactory &makeReader, RunRecorder &recorder, std::function<bool()> stopNow);

    /// Converts `row` (its path trimmed: `mailboxPath`) into its folder below `outputFolder`;
    /// true when it was read to its end. `bytesBefore`: the bytes of the rows before it.
    bool convert(const MailboxRow &row, const std::string &mailboxPath, const std::string &outputFolder,
                 std::uint64_t bytesBefore);

private:
    /// Reads the opened mailbox (its range, if it has one) into a pipeline to `output`; false
    /// when it stopped short (a read error, a full disk, a stop).
    bool readMailboxFile(OpenedMailbox &mailbox, const std::optional<ByteRange> &range, const std::string &mailboxPath,
                         MailboxOutput output);
    /// The same for the message files of a source folder.
    bool readSourceFolder(const std::optional<ByteRange> &range, const std::string &folderPath, MailboxOutput output);
    /// Keeps the leading text of `mailbox` in `folder`, and says so in the report.
    bool keepLeadingTextOf(OpenedMailbox &mailbox, const std::string &mailboxPath, const FolderHandle &folder);
    /// Runs `read`; should it throw, finishes what the converter holds of the mailbox first.
    static Result<void> guarded(MessagePipeline &pipeline, const std::function<Result<void>()> &read);
    /// After the reading: commits what is in flight, unless the user stopped the run, which
    /// drops it and is recorded. False on a stop or a full disk.
    bool finishReading(MessagePipeline &pipeline, const std::string &mailboxPath);

    ConcurrentMailConverter &m_converter;
    const RunSettings &m_settings;
    const MessageReaderFactory &m_makeReader;
    RunRecorder &m_recorder;
    std::function<bool()> m_stopNow;
};

} // namespace tessaly
