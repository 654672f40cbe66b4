// The pipeline of one mailbox: each split message begun (named and handed to the converter),
// finished and committed to the recorder, in mailbox order.
#pragma once

#include "conversion/MessageCollector.h"
#include "conversion/MessageIndex.h"
#include "conversion/RunInputs.h"
#include "conversion/RunRecorder.h"
#include "platform/ConcurrentMailConverter.h"
#include "platform/MessageReader.h"
#include "support/FolderHandle.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>

namespace tessaly {

/// Where a mailbox's messages go, and what the pipeline needs to know of the run.
struct MailboxOutput
{
    /// The mailbox's output folder, held open, and its path without a trailing separator.
    FolderHandle folder;
    std::string folderPath;
    /// Messages an earlier run converted into the folder; empty when converting again.
    const ConvertedMessages *convertedEarlier = nullptr;
    /// Bytes of the run's mailboxes before this one, and where its reading starts in the file.
    std::uint64_t bytesBefore = 0;
    std::uint64_t startOffset = 0;
};

/// A message that is a file of its own in a source folder (a Maildir or an .eml folder).
struct SourceFile
{
    /// Its path in the source folder, '/' between names.
    std::string relativePath;
    /// What the source records of it (a Maildir's flags), for the index's warnings column.
    std::string notes;
};

/// Takes the messages of one mailbox in order. A message is begun as it is split: skipped when
/// an earlier run converted it, else written to its message file, named and handed to the
/// converter. While the converter is full, the oldest message is finished (its conversion
/// waited for) and committed. Every message is committed to the recorder in mailbox order.
///
/// A message that cannot be written, named or handed over fails alone, keeping its message
/// file where it has one.
///
/// Once `stopRequested` says so, the pipeline begins and commits nothing more; a message
/// whose conversion the stop cut short is left uncommitted, for abandon().
class MessagePipeline
{
public:
    MessagePipeline(ConcurrentMailConverter &converter, const RunSettings &settings,
                    const MessageReaderFactory &makeReader, MailboxOutput output, RunRecorder &recorder,
                    std::function<bool()> stopRequested = {});
    MessagePipeline(const MessagePipeline &) = delete;
    MessagePipeline &operator=(const MessagePipeline &) = delete;

    /// Begins the next message, then commits what is decided at the front.
    /// `source`: the message file it was read from, when it is one.
    void take(const SplitMessage &message, const SourceFile *source = nullptr);
    /// Finishes and commits every message in flight.
    void finishAll();
    /// Drops the messages in flight unrecorded, for a mailbox given up on or a run stopped, and
    /// removes their message files: the mailbox is untouched, so a re-run converts them.
    void abandon();
    /// The number of the oldest message not committed (the next one when none is in flight).
    int firstUncommittedNumber() const;
    /// Whether a message met a full disk. The pipeline then takes no further message, and the
    /// run stops reading: what it did not take has no row, so a re-run converts it.
    bool diskFull() const { return m_diskFull; }
    /// Keeps the message a read error cut short as its message file, recorded failed.
    void keepCutShort(const SplitMessage &inHand, const Error &readError);

private:
    /// A message begun and not yet committed.
    struct PendingMessage
    {
        enum class State
        {
            Converting,
            Skipped,
            Failed
        };
        State state = State::Failed;
        std::uint64_t offset = 0;
        std::uint64_t splitUpTo = 0;
        IndexRow indexRow;
        std::optional<MessageDateTime> date;
        std::optional<FileInFolder> messageFile;
        std::optional<Error> failure; ///< why it failed, once it has
        std::string note;             ///< SplitMessage::note, a warning once it converts
    };

    PendingMessage begin(const SplitMessage &message, const SourceFile *source);
    /// Names the message from its header block, filling its index row; the PDF's place.
    Result<FileInFolder> name(PendingMessage &pending, const SplitMessage &message);
    void startConversion(PendingMessage &pending, const FileInFolder &pdf);
    /// Fails `pending` with `error`.
    void fail(PendingMessage &pending, std::optional<FileInFolder> keptFile, const Error &error);
    /// Commits pending messages in order: all when `everything`; else those at the front
    /// that are decided, waiting for a converting one only while the queue is full.
    void commitPending(bool everything);
    /// Finishes the oldest message (waiting for its conversion) and commits it.
    void commitOldest();
    MessageRecord finish(PendingMessage &pending);
    bool stopped() const { return m_stopRequested && m_stopRequested(); }
    /// Removes the message file of a message that is dropped unrecorded.
    static void removeMessageFile(const PendingMessage &pending);

    ConcurrentMailConverter &m_converter;
    const RunSettings &m_settings;
    const MessageReaderFactory &m_makeReader;
    const MailboxOutput m_output;
    RunRecorder &m_recorder;
    std::function<bool()> m_stopRequested;
    /// The number the next message gets, from 1.
    int m_nextNumber = 1;
    /// Oldest first; those converting number at most the converter's capacity.
    std::deque<PendingMessage> m_pending;
    int m_converting = 0;
    bool m_diskFull = false;
};

} // namespace tessaly
