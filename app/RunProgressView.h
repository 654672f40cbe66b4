// A run's progress on the window: the mailbox and message labels, the bar and the taskbar entry.
#pragma once

#include "conversion/RunObserver.h"

#include <string>

class QLabel;
class QProgressBar;

namespace tessaly {

class Platform;

/// Shows a run on the progress area's controls, which the window lays out. Each step that
/// changes what a reader sees lets the window draw it at once.
class RunProgressView
{
public:
    /// The progress area's controls, by their design names.
    struct Controls
    {
        QLabel *LblProgessCurrent; ///< "Mailbox 2 (of 5) "
        QLabel *LblIMMFile;        ///< the mailbox being read
        QLabel *LblProgress;       ///< "Saved 3 Email Messages..."
        QProgressBar *runProgress; ///< the whole run, with the messages done and the time left
    };

    RunProgressView(Platform &platform, Controls controls);

    void runStarted();
    /// Row `row` of `rowCount` is read from `mailboxPath`; the count of the mailbox before no
    /// longer shows.
    void mailboxStarted(int row, int rowCount, const std::string &mailboxPath);
    /// The mailbox just converted is being joined into one PDF.
    void bundleStarted();
    void messageFinished(int messageNumber);
    /// The bar and the taskbar, the taskbar in whole percents only: each update is a message
    /// on the session bus.
    void progressed(const RunProgress &progress, double elapsedSeconds);
    /// Back to the labels of a window without a run; the bar and the taskbar entry go blank.
    void runFinished();

private:
    void resetLabels();

    Platform &m_platform;
    Controls m_controls;
    /// The percentage the taskbar entry shows, -1 when none.
    int m_taskbarPercent = -1;
};

} // namespace tessaly
