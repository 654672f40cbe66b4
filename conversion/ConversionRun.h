// The conversion run: every mailbox of the list, split into messages, named and converted.
#pragma once

#include "AppendStrings.h"
#include "ConversionView.h"
#include "MailConverter.h"
#include "MailboxFileReader.h"
#include "MessageIndex.h"
#include "MessageReader.h"
#include "Platform.h"
#include "RunReport.h"

#include <cstdint>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace tessaly {

class BlockSplitter;

/// How a run treats what earlier runs left in its output folders, and what it records.
struct IndexSettings
{
    /// Converts every message again, even those an index file records as converted.
    bool convertAgain = false;
    /// Gives each PDF the message's date as its file time.
    bool setFileTimes = true;
    /// The index file this run appends to in each mailbox's folder.
    std::string indexFileName{kIndexFileName};
};
class MessageCollector;
struct SplitMessage;

/// Drives a run over the mailbox list. For every row it makes the mailbox's output folder,
/// probes the mailbox, splits it in line or block mode, writes each message to its message
/// file, names the PDF, converts it and deletes the message file.
///
/// The options are taken once, at the start, so every message of a run is named and converted
/// alike. Each distinct mailbox file is converted once: a row naming a file already converted
/// is skipped and reported. The rows a run converts are marked on the list.
///
/// A failure never ends the run: a message that cannot be written, named or converted is
/// counted and its message file kept (under "email-N.eml", or "email-N (2).eml" when an
/// earlier kept file holds that name); a mailbox that cannot be opened, read or given an
/// output folder is counted and the run goes on with the next one. A read error mid-mailbox
/// keeps the message in hand as its message file, counted failed. Output folders the run
/// made for a mailbox that failed and that stayed empty are removed again. Empty rows are
/// skipped. Everything that went wrong is in the returned RunReport.
class ConversionRun
{
public:
    ConversionRun(Platform &platform, MailboxRows &rows, ConversionOptions &options,
                  ProgressDisplay &progress, MailConverterFactory makeConverter,
                  MessageReaderFactory makeReader);
    ~ConversionRun();

    /// The Convert button's work. A list without a mailbox says so (style 48) and returns
    /// nullopt; so does a cancelled folder choice ("Choose Folder to Save..."), silently. Both
    /// leave Convert enabled. Otherwise disables Convert, converts every row, writes the
    /// report as a log file in the output folder and ends with the report box: the completion
    /// message (no failure) or the failure summary (style 48), each followed by the counts
    /// line, with the full list as details. Also nullopt while a run is under way.
    std::optional<RunReport> runWithOutputFolderChoice();

    /// Converts every row into `outputFolder`, no dialogs (the CLI's way in).
    RunReport convertInto(const std::string &outputFolder);

    bool isRunning() const { return m_running; }

    void setIndexSettings(IndexSettings settings) { m_indexSettings = std::move(settings); }
    /// Reads only `range` of row `row`'s mailbox (a range starting and ending at separators),
    /// numbering its messages from 1. Two rows of one mailbox with different ranges are both read.
    void setRowRange(int row, ByteRange range) { m_rowRanges[row] = range; }

    /// The probe: reads the first bytes of `FileName`, sets `mailboxKind` and `fromPosition`
    /// and returns the bytes read.
    std::string ReadMBOXFile(const std::string &FileName);

    /// The block-mode step: adds one block of the current mailbox to the message in hand and
    /// finishes every message that ends in it. Sets `fromPosition` to the position of the
    /// block's first separator (0 if none). Does nothing outside a block-mode mailbox.
    void SaveMBOXFile(std::string_view mboxFileText);

    // The run state. The run writes it; a front end may read it between steps.
    std::unique_ptr<MailConverter> mailConverter;
    /// The current mailbox's output folder, without a trailing separator.
    std::string mailboxFolder;
    /// "Normal" (line mode), "NotNormal" (block mode), or "" before the probe.
    std::string mailboxKind;
    long fromPosition = 0;
    /// The line (line mode) or block (block mode) in hand; a view into the reading buffer,
    /// valid only while that line or block is being handled.
    std::string_view readBuffer;
    /// The number of the message being collected in the current mailbox, from 1.
    int messageCount = 0;
    /// The current (or last) message file.
    std::string messageFile;
    /// The text of the message in hand.
    AppendStrings messageText;
    /// The reader naming the current message; empty between messages.
    std::unique_ptr<MessageReader> messageReader;

private:
    RunReport runRows(const std::string &outputFolder);
    /// True when the mailbox was read to its end.
    bool convertMailbox(int row, const std::string &mailboxPath, const std::string &outputFolder);
    Result<void> splitMailbox(const std::string &mailboxPath);
    void keepMessageCutShortByReadError(const MessageCollector &collector, const std::string &reason);
    void showRunProgress();
    void finishMessage(const SplitMessage &message);
    Result<std::string> nameMessage();
    void failMailbox(const std::string &mailboxPath, const std::string &reason);
    /// The bytes row `row` reads: its range's, or the whole mailbox's.
    std::uint64_t rowBytes(int row, const std::string &mailboxPath) const;
    MessageKey messageKey(const SplitMessage &message);
    void recordInIndex(IndexRow row);

    Platform &m_platform;
    MailboxRows &m_rows;
    ConversionOptions &m_options;
    ProgressDisplay &m_progress;
    MailConverterFactory m_makeConverter;
    MessageReaderFactory m_makeReader;

    bool m_running = false;
    NamingOption m_naming = NamingOption::OptOriginal;
    AttachmentChoice m_attachments;
    RunReport m_report;
    RunProgress m_runProgress;
    /// Bytes of the mailboxes finished before the current one.
    std::uint64_t m_bytesBeforeMailbox = 0;
    std::uint64_t m_bytesReadInMailbox = 0;
    std::string m_mailboxPath;
    BlockSplitter *m_blockSplitter = nullptr;

    IndexSettings m_indexSettings;
    std::map<int, ByteRange> m_rowRanges;
    int m_currentRow = 0;
    /// The current mailbox, opened a second time to fingerprint each message's bytes.
    std::ifstream m_mailboxBytes;
    ConvertedMessages m_convertedEarlier;
    std::unique_ptr<MessageIndexWriter> m_indexWriter;
    bool m_indexFailed = false;
    /// The index row of the message in hand, filled as it is named and converted.
    IndexRow m_indexRow;
    std::optional<MessageDateTime> m_indexDate;
};

} // namespace tessaly
