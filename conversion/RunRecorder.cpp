#include "conversion/RunRecorder.h"

#include "support/PathHelpers.h"

#include <algorithm>
#include <utility>

namespace tessaly {
namespace {

/// What a failed record that says no reason is recorded as: a fault of the pipeline.
const Error kUnrecordedFailure{"the message failed without a reason", FailureKind::InternalError};

int messagesRecorded(const RunReport &report)
{
    return report.messagesConverted + report.messagesSkipped + static_cast<int>(report.failedMessages.size());
}

} // namespace

RunRecorder::RunRecorder(RunObserver &observer) : m_observer(observer) {}

void RunRecorder::runStarted(std::string outputFolder, std::uint64_t totalBytes)
{
    m_report = RunReport{};
    m_report.outputFolder = std::move(outputFolder);
    m_progress = RunProgress{};
    m_progress.totalBytes = totalBytes;
    m_observer.runStarted(totalBytes);
}

void RunRecorder::mailboxStarted(const std::string &mailboxPath, const FolderHandle &folder,
                                 const std::string &indexFileName)
{
    m_mailboxPath = mailboxPath;
    m_indexWriter = std::make_unique<MessageIndexWriter>(folder, indexFileName);
    m_indexFailed = false;
    m_messagesBeforeMailbox = messagesRecorded(m_report);
}

void RunRecorder::progressed(std::uint64_t bytesSplit)
{
    m_progress.bytesSplit = bytesSplit;
    m_observer.progressed(m_progress);
}

void RunRecorder::recordMessage(const MessageRecord &record)
{
    IndexRow row = record.indexRow;
    switch (record.outcome) {
    case MessageOutcome::ConvertedEarlier:
        ++m_report.messagesSkipped;
        break;
    case MessageOutcome::Converted:
        ++m_report.messagesConverted;
        if (!record.warnings.empty())
            ++m_report.messagesWithWarnings;
        for (const std::string &warning : record.warnings) {
            row.warnings += (row.warnings.empty() ? "" : "; ") + warning;
            m_report.warnings.push_back(sourceName(m_mailboxPath) + ", message " + std::to_string(row.messageNumber) +
                                        ": " + warning);
        }
        break;
    case MessageOutcome::Failed:
        recordFailure(row, MessageFailure{m_mailboxPath, row.messageNumber, record.keptMessageFile,
                                          record.failure.value_or(kUnrecordedFailure), record.offset});
        break;
    }
    recordInIndex(row);

    m_observer.messageFinished(row.messageNumber, record.outcome);
    ++m_progress.messagesDone;
    m_progress.bytesSplit = std::max(m_progress.bytesSplit, record.splitUpTo);
    m_observer.progressed(m_progress);
}

void RunRecorder::recordCutShort(int messageNumber, std::uint64_t offset, const std::string &keptMessageFile,
                                 const Error &readError)
{
    const Error failure{"the mailbox could not be read to the end of this message (" + readError.message + ")",
                        readError.kind};
    IndexRow row;
    row.messageNumber = messageNumber;
    row.key.offset = offset;
    recordFailure(row, MessageFailure{m_mailboxPath, messageNumber, keptMessageFile, failure, offset});
    recordInIndex(row);
    ++m_progress.messagesDone;
}

void RunRecorder::mailboxFinished()
{
    // The mailbox's rows are on the disk before the next mailbox starts.
    if (m_indexWriter && !m_indexFailed) {
        if (Result<void> synced = m_indexWriter->sync(); !synced) {
            m_indexFailed = true;
            m_report.warnings.push_back(sourceName(m_mailboxPath) + ": " + synced.error().message);
        }
    }
    m_indexWriter.reset();
}

void RunRecorder::failMailbox(const std::string &mailboxPath, const Error &error)
{
    m_report.failedMailboxes.push_back(MailboxFailure{mailboxPath, error});
    if (error.kind == FailureKind::DiskFull && !m_report.stoppedAt)
        m_report.stoppedAt = RunStop{mailboxPath, 0, error};
}

void RunRecorder::stopByUser(const std::string &mailboxPath, int messageNumber)
{
    if (!m_report.stoppedAt)
        m_report.stoppedAt =
            RunStop{mailboxPath, messageNumber,
                    Error{std::string(failureText(FailureKind::StoppedByUser)), FailureKind::StoppedByUser}};
}

bool RunRecorder::mailboxHeldMessages() const
{
    return messagesRecorded(m_report) > m_messagesBeforeMailbox;
}

RunReport RunRecorder::runFinished(double seconds)
{
    m_indexWriter.reset();
    m_report.seconds = seconds;
    m_observer.runFinished(m_report);
    return std::move(m_report);
}

void RunRecorder::recordFailure(IndexRow &row, MessageFailure failure)
{
    const Error &error = failure.error;
    row.status = indexStatusFailed(error.kind);
    row.warnings = std::string(failureText(error.kind)) + ": " + error.message;
    if (error.kind == FailureKind::DiskFull && !m_report.stoppedAt)
        m_report.stoppedAt = RunStop{failure.mailbox, failure.messageNumber, error};
    m_report.failedMessages.push_back(std::move(failure));
}

void RunRecorder::recordInIndex(const IndexRow &row)
{
    if (!m_indexWriter || m_indexFailed)
        return;
    if (Result<void> appended = m_indexWriter->append(row); !appended) {
        // Said once per mailbox: the run goes on, but will not resume from this folder.
        m_indexFailed = true;
        m_report.warnings.push_back(sourceName(m_mailboxPath) + ": " + appended.error().message);
    }
}

} // namespace tessaly
