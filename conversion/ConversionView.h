// What a conversion run reads from its front end (rows and options) and writes to it (progress).
#pragma once

#include <cstdint>
#include <string>

namespace tessaly {

/// The eight ways of naming a PDF, in the order they are tested.
enum class NamingOption {
    OptOriginal,  ///< subject
    OptSD,        ///< subject + date (DD-MM-YYYY)
    OptFSD,       ///< from + subject + date (DD-MM-YYYY)
    OptFSD_YMD,   ///< from + subject + date (YYYY-MM-DD)
    OptDFS,       ///< date (DD-MM-YYYY) + from + subject
    OptDFS_YMD,   ///< date (YYYY-MM-DD) + subject + from
    OptDFS_YMD2,  ///< date (YYYY-MM-DD) + from + subject
    OptDFS_MYD,   ///< date (MM-DD-YYYY) + subject + from
};

/// The attachment controls as they stand: the check box and the two option buttons.
struct AttachmentChoice
{
    bool ChkSaveAttach = false;
    bool OptSaveAttachEmbed = true;
    bool OptSaveAttachFolder = false;
};

/// The mailbox list as a run sees it: rows from 0, each a mailbox path (possibly empty).
class MailboxRows
{
public:
    virtual ~MailboxRows() = default;
    virtual int mailboxRowCount() const = 0;
    virtual std::string mailboxRowText(int row) const = 0;
    /// Makes `row` the list's current row, so the user sees which mailbox is in hand.
    virtual void showCurrentMailboxRow(int row) = 0;
    /// A run starts: no row is marked as converted any more.
    virtual void clearMailboxRowMarks() {}
    /// Marks `row` as converted by this run: its mailbox was read to the end (some of its
    /// messages may have failed), or it names a mailbox this run already converted.
    virtual void markMailboxRowConverted(int row) { (void)row; }
};

/// The options of a run. A run reads them once, at its start, so one run names and converts
/// every message alike.
class ConversionOptions
{
public:
    virtual ~ConversionOptions() = default;
    virtual NamingOption namingOption() const = 0;
    virtual AttachmentChoice attachmentChoice() const = 0;
};

/// How far a whole run has come.
struct RunProgress
{
    /// Bytes of the run's mailboxes that the splitter has consumed, over all mailboxes so far.
    std::uint64_t bytesSplit = 0;
    /// The size of all the run's mailboxes (each distinct mailbox once).
    std::uint64_t totalBytes = 0;
    /// Messages finished so far, converted or not.
    int messagesDone = 0;
};

/// Where a run shows its progress.
class ProgressDisplay
{
public:
    virtual ~ProgressDisplay() = default;
    /// A run starts, over mailboxes of `totalBytes` bytes in all.
    virtual void runStarted(std::uint64_t totalBytes) { (void)totalBytes; }
    /// The run has come this far; called after every message and every piece read.
    virtual void showRunProgress(const RunProgress &progress) { (void)progress; }
    /// The run has ended; its report follows.
    virtual void runFinished() {}
    /// "Mailbox 2 (of 5) "
    virtual void showMailboxProgress(const std::string &text) = 0;
    /// The file name of the mailbox being read.
    virtual void showMailboxFileName(const std::string &text) = 0;
    /// "Saved 3 Email Messages..."
    virtual void showSavedProgress(const std::string &text) = 0;
    /// How far into the current mailbox the reading has come.
    virtual void showMailboxBytesRead(std::uint64_t bytesRead, std::uint64_t mailboxSize) = 0;
    /// Called once per message after its conversion was attempted (`converted` false on failure).
    virtual void messageFinished(int messageNumber, bool converted)
    {
        (void)messageNumber;
        (void)converted;
    }
    /// Enables or disables the control that starts a run.
    virtual void setConvertEnabled(bool enabled) = 0;
};

} // namespace tessaly
