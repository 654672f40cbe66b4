// A run started from the window: from Convert to the report box, its progress on the window,
// and one PDF per mailbox after each mailbox it converts.
#pragma once

#include "app/MailboxBundleStep.h"
#include "app/RunProgressView.h"
#include "conversion/ConversionRun.h"
#include "conversion/RunObserver.h"
#include "platform/ConcurrentMailConverter.h"
#include "platform/MessageReader.h"

#include <QElapsedTimer>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

class QPushButton;
class QWidget;

namespace tessaly {

class MailboxList;
class Platform;

/// Owns the window's run while it lasts: the ConversionRun, the progress view, the bundle step,
/// the Convert button's texts, the run marks of the mailbox list and the desktop notification.
/// The window keeps its controls and what is enabled around a run.
class WindowRunController : private RunObserver
{
public:
    WindowRunController(Platform &platform, QWidget &window, MailboxList &list, QPushButton &convertButton,
                        RunProgressView::Controls progress, ConcurrentMailConverterFactory makeConverter,
                        MessageReaderFactory makeReader);

    /// Converts `mailboxes` with `settings` into the folder the user chooses, as
    /// runWithOutputFolderChoice says, and returns once the report box is closed (or nothing
    /// was run). With `bundleEachMailbox`, each mailbox converted is joined into one PDF and what
    /// that warns of goes into the report.
    void convert(const std::vector<std::string> &mailboxes, RunSettings settings, bool bundleEachMailbox);

    /// True from the start of convert() until its run has ended, the folder choice included.
    bool hasRunUnderWay() const { return m_run != nullptr; }
    /// Asks the run under way to stop; Convert shows it is stopping. Once per run.
    void requestStop();
    /// Stops the run under way and has it end without its report box; exitRequested() then
    /// says the window is to close.
    void stopAndExit();
    bool exitRequested() const { return m_exitAfterRun; }

    /// A run that lasts this long and ends while the window is not active is told as a desktop
    /// notification (10 s by default).
    void setNotifyAfter(std::chrono::milliseconds duration) { m_notifyAfter = duration; }
    /// What makes one PDF per mailbox; without it a bundle only warns that none was made.
    void setBundleAssembler(BundleAssemblerFactory makeAssembler) { m_makeBundleAssembler = std::move(makeAssembler); }

private:
    void runStarted(std::uint64_t totalBytes) override;
    void mailboxStarted(int row, int rowCount, const std::string &mailboxPath) override;
    void mailboxConverted(int row) override;
    void mailboxFailed(int row) override;
    void messageFinished(int messageNumber, MessageOutcome outcome) override;
    void progressed(const RunProgress &progress) override;
    void runFinished(const RunReport &report) override;

    Platform &m_platform;
    QWidget &m_window;
    MailboxList &m_list;
    QPushButton &m_convertButton;
    RunProgressView m_progress;
    ConcurrentMailConverterFactory m_makeConverter;
    MessageReaderFactory m_makeReader;
    BundleAssemblerFactory m_makeBundleAssembler;
    std::chrono::milliseconds m_notifyAfter{std::chrono::seconds(10)};

    /// The run under way, for Stop.
    ConversionRun *m_run = nullptr;
    /// The user chose to exit mid-run: the window closes once the run has stopped.
    bool m_exitAfterRun = false;
    /// The run's bundle step, from the folder choice on, when the run bundles its mailboxes.
    std::optional<MailboxBundleStep> m_bundling;
    QElapsedTimer m_runClock;
};

} // namespace tessaly
