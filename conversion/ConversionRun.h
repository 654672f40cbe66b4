// The conversion run: every mailbox of the list, split into messages, named and converted.
#pragma once

#include "conversion/MailboxProbe.h"
#include "conversion/MessageIndex.h"
#include "conversion/RunInputs.h"
#include "conversion/RunObserver.h"
#include "conversion/RunReport.h"
#include "platform/ConcurrentMailConverter.h"
#include "platform/MailConverter.h"
#include "platform/MessageReader.h"
#include "support/AppendStrings.h"

#include <cstdint>
#include <deque>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessaly {

class BlockSplitter;
class MessageCollector;
struct SplitMessage;

/// Drives a run over a list of mailbox rows. For every row it makes the mailbox's output
/// folder, probes the mailbox, splits it in line or block mode, writes each message to its
/// message file, names the PDF, converts it and deletes the message file. It tells its
/// observer what it does as it goes.
///
/// The settings are fixed at construction, so every message of a run is named and converted
/// alike. Each distinct mailbox file (or range of one) is converted once: a row naming one
/// already converted is skipped and reported.
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

private:
    /// True when the mailbox was read to its end.
    bool convertMailbox(int row, const std::string &mailboxPath, const std::string &outputFolder);
    Result<void> splitMailbox(const std::string &mailboxPath);
    /// The probe: reads the first bytes of `FileName` and sets `mailboxKind`.
    void ReadMBOXFile(const std::string &FileName);
    /// The block-mode step: adds one block of the current mailbox to the message in hand and
    /// finishes every message that ends in it.
    void SaveMBOXFile(std::string_view mboxFileText);
    void keepMessageCutShortByReadError(const MessageCollector &collector, const std::string &reason);
    void finishMessage(const SplitMessage &message);
    /// A message split, named and handed to the converter (or already decided), not yet recorded.
    struct PendingMessage
    {
        int number = 0;
        std::uint64_t offset = 0;
        /// Where the splitter had come at the message's end.
        std::uint64_t splitUpTo = 0;
        IndexRow indexRow;
        std::optional<MessageDateTime> date;
        std::optional<FileInFolder> messageFile;
        enum class State
        {
            Converting,
            Skipped,
            Failed
        } state = State::Failed;
        std::string failure; ///< why it failed before it reached the converter
    };
    /// Hands the message to the converter, first making room: while the converter is full, the
    /// oldest pending message is recorded.
    void beginConversion(PendingMessage &pending, const FileInFolder &pdfPath);
    /// The path of the message file a failed message keeps; empty when it has none.
    static std::string keptPath(const PendingMessage &pending)
    {
        return pending.messageFile ? pending.messageFile->path() : std::string();
    }
    /// Records pending messages in order: all of them when `everything`; else those at the
    /// front that are decided, waiting for a converting one only while the queue is full.
    void recordPending(bool everything);
    /// Records the oldest pending message, waiting for its conversion if need be.
    void recordOldest();
    void recordMessage(PendingMessage &pending);
    void recordConversion(PendingMessage &pending, Result<ConvertedMessage> result);
    Result<std::string> nameMessage(PendingMessage &pending);
    void failMailbox(const std::string &mailboxPath, const std::string &reason);
    /// The bytes row `row` reads: its range's, or the whole mailbox's.
    std::uint64_t rowBytes(int row) const;
    MessageKey messageKey(const SplitMessage &message);
    void recordInIndex(IndexRow row);

    const std::vector<MailboxRow> m_rows;
    const RunSettings m_settings;
    RunObserver &m_observer;
    MessageReaderFactory m_makeReader;

    ConcurrentMailConverterFactory m_makeConverter;
    // The state the splitting, naming and conversion steps share.
    std::unique_ptr<ConcurrentMailConverter> mailConverter;
    /// The current mailbox's output folder, without a trailing separator.
    std::string mailboxFolder;
    /// The same folder, held open while its mailbox is converted.
    std::optional<FolderHandle> m_mailboxFolder;
    MailboxKind mailboxKind = MailboxKind::Normal;
    /// The number of the message being collected in the current mailbox, from 1.
    int messageCount = 0;
    /// The current (or last) message file.
    std::optional<FileInFolder> messageFile;
    /// The text of the message in hand.
    AppendStrings messageText;
    /// The reader naming the current message; empty between messages.
    std::unique_ptr<MessageReader> messageReader;

    RunReport m_report;
    RunProgress m_runProgress;
    /// Bytes of the mailboxes finished before the current one.
    std::uint64_t m_bytesBeforeMailbox = 0;
    std::uint64_t m_bytesReadInMailbox = 0;
    std::string m_mailboxPath;
    BlockSplitter *m_blockSplitter = nullptr;

    int m_currentRow = 0;
    /// The current mailbox, opened a second time to fingerprint each message's bytes.
    std::ifstream m_mailboxBytes;
    ConvertedMessages m_convertedEarlier;
    std::unique_ptr<MessageIndexWriter> m_indexWriter;
    bool m_indexFailed = false;
    /// Oldest first; those converting number at most the converter's capacity.
    std::deque<PendingMessage> m_pending;
    int m_converting = 0;
};

} // namespace tessaly
