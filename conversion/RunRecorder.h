// The recorder of a run: what became of each message and mailbox, in the report, the index and
// the observer.
#pragma once

#include "conversion/MessageIndex.h"
#include "conversion/RunObserver.h"
#include "conversion/RunReport.h"
#include "support/FolderHandle.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tessaly {

/// One message done with, as the pipeline hands it over in mailbox order.
struct MessageRecord
{
    MessageOutcome outcome = MessageOutcome::Failed;
    /// Its row of the index, status and warnings included.
    IndexRow indexRow;
    /// Where the message starts in its mailbox.
    std::uint64_t offset = 0;
    /// How far the run had split when the message ended, over all mailboxes.
    std::uint64_t splitUpTo = 0;
    /// For a failed message: why, of what kind, and the message file it keeps ("" when none).
    std::optional<Error> failure;
    std::string keptMessageFile;
    /// For a converted one: what the converter had to say.
    std::vector<std::string> warnings;
};

/// Keeps the report, the index file of the current mailbox and the observer up to date. It
/// only records: it decides nothing about a message.
class RunRecorder
{
public:
    explicit RunRecorder(RunObserver &observer);

    /// The run starts over mailboxes of `totalBytes` bytes.
    void runStarted(std::string outputFolder, std::uint64_t totalBytes);
    /// Mailbox `mailboxPath` starts; its rows go to the index file `indexFileName` of `folder`.
    void mailboxStarted(const std::string &mailboxPath, const FolderHandle &folder, const std::string &indexFileName);
    /// The splitter has consumed this many bytes of the run.
    void progressed(std::uint64_t bytesSplit);
    /// Message `record.indexRow.messageNumber` of the current mailbox is done with.
    void recordMessage(const MessageRecord &record);
    /// The message a read error cut short, kept as `keptMessageFile` ("" when it could not be),
    /// failed of the read error's kind.
    void recordCutShort(int messageNumber, std::uint64_t offset, const std::string &keptMessageFile,
                        const Error &readError);
    /// The current mailbox is done with: its index file is closed.
    void mailboxFinished();
    /// Fails the mailbox with `error`; one of a full disk also stops the run there.
    void failMailbox(const std::string &mailboxPath, const Error &error);
    /// The user stopped the run in `mailboxPath`, before its message `messageNumber`.
    void stopByUser(const std::string &mailboxPath, int messageNumber);
    /// Whether the run has stopped (a full disk, the user): no further mailbox is started.
    bool runStopped() const { return m_report.stoppedAt.has_value(); }
    /// Whether the current mailbox holds any message recorded so far.
    bool mailboxHeldMessages() const;
    /// Ends the run after `seconds` and tells the observer; the report is then the caller's.
    RunReport runFinished(double seconds);

    RunReport &report() { return m_report; }
    RunObserver &observer() { return m_observer; }

private:
    void recordInIndex(const IndexRow &row);
    /// Records a failed message in the report, stopping the run on a full disk; the index row's
    /// status and warnings.
    void recordFailure(IndexRow &row, MessageFailure failure);

    RunObserver &m_observer;
    RunReport m_report;
    RunProgress m_progress;
    std::string m_mailboxPath;
    std::unique_ptr<MessageIndexWriter> m_indexWriter;
    bool m_indexFailed = false;
    int m_messagesBeforeMailbox = 0;
};

} // namespace tessaly
