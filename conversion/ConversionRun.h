// The conversion run: every mailbox of the list, split into messages, named and converted.
#pragma once

#include "AppendStrings.h"
#include "ConversionView.h"
#include "MailConverter.h"
#include "MessageReader.h"
#include "Platform.h"
#include "RunReport.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace tessaly {

class BlockSplitter;
struct SplitMessage;

/// Drives a run over the mailbox list. For every row it makes the mailbox's output folder,
/// probes the mailbox, splits it in line or block mode, writes each message to its message
/// file, names the PDF, converts it and deletes the message file.
///
/// A failure never ends the run: a message that cannot be written, named or converted is
/// counted and its message file kept (under "email-N.eml", or "email-N (2).eml" when an
/// earlier kept file holds that name); a mailbox that cannot be opened, read or given an
/// output folder is counted and the run goes on with the next one. Empty rows are skipped.
/// Everything that went wrong is in the returned RunReport.
class ConversionRun
{
public:
    ConversionRun(Platform &platform, MailboxRows &rows, ConversionOptions &options,
                  ProgressDisplay &progress, MailConverterFactory makeConverter,
                  MessageReaderFactory makeReader);
    ~ConversionRun();

    /// The Convert button's work: asks for the output folder with BrowseForFolder("Choose
    /// Folder to Save..."), returns nullopt (nothing changed, Convert stays enabled) on cancel;
    /// otherwise disables Convert, converts every row, and shows the completion message (all
    /// succeeded) or the failure summary (style 48). Also nullopt while a run is under way.
    std::optional<RunReport> runWithOutputFolderChoice();

    /// Converts every row into `outputFolder`, no dialogs (the CLI's way in).
    RunReport convertInto(const std::string &outputFolder);

    bool isRunning() const { return m_running; }

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
    void convertMailbox(int row, const std::string &mailboxPath, const std::string &outputFolder);
    Result<void> splitMailbox(const std::string &mailboxPath);
    void finishMessage(const SplitMessage &message);
    Result<std::string> nameMessage();
    void failMailbox(const std::string &mailboxPath, const std::string &reason);

    Platform &m_platform;
    MailboxRows &m_rows;
    ConversionOptions &m_options;
    ProgressDisplay &m_progress;
    MailConverterFactory m_makeConverter;
    MessageReaderFactory m_makeReader;

    bool m_running = false;
    RunReport m_report;
    std::string m_mailboxPath;
    BlockSplitter *m_blockSplitter = nullptr;
};

} // namespace tessaly
