// The program's one window: the mailbox list, the options, the run's progress, help and exit.
#pragma once

#include "conversion/MailboxBundle.h"
#include "conversion/NamingOption.h"
#include "conversion/RunObserver.h"
#include "mailboxlist/MailboxList.h"
#include "mailboxlist/MailboxListActions.h"
#include "platform/ConcurrentMailConverter.h"
#include "platform/MailConverter.h"
#include "platform/MessageReader.h"

#include <QElapsedTimer>
#include <QWidget>

#include <chrono>
#include <functional>
#include <memory>

class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLabel;
class QProgressBar;
class QScrollArea;
class QPushButton;
class QRadioButton;
class QTableWidget;
class QToolButton;

namespace tessaly {

/// The client size for a window designed at `design` on a screen with `room` left for it:
/// the design size where it fits, else as much as fits, with room for the scroll bars the
/// design then needs.
QSize fittedClientSize(const QSize &design, const QSize &room, int scrollBarExtent);

class ConversionRun;
class Platform;

/// The window. Controls carry their design names as object names. A run takes the list and
/// the options at its start and shows its progress through the window's RunObserver side.
class frmStep1 : public QWidget, private RunObserver, private MailboxListView
{
    Q_OBJECT

public:
    frmStep1(Platform &platform, ConcurrentMailConverterFactory makeConverter, MessageReaderFactory makeReader,
             QWidget *parent = nullptr);
    /// A window whose runs convert one message at a time with what `makeConverter` makes.
    frmStep1(Platform &platform, MailConverterFactory makeConverter, MessageReaderFactory makeReader,
             QWidget *parent = nullptr)
        : frmStep1(platform, oneAtATime(std::move(makeConverter)), std::move(makeReader), parent)
    {
    }
    ~frmStep1() override;

    /// Centres the window on its screen and shows it, with focus on the add button. Where the
    /// design size does not fit the screen's free area, the window fits it and scrolls.
    void showCentred();
    /// Sizes and centres the window for the free screen area `available`, given the window
    /// frame's margins around the client area.
    void fitToScreenArea(const QRect &available, const QMargins &frame);

    /// Replaces how the process ends during a folder scan (immediately, by default); for tests.
    void setEndProcess(std::function<void()> endProcess) { m_endProcess = std::move(endProcess); }
    /// A run that lasts this long and ends while the window is not active is told as a desktop
    /// notification (10 s by default).
    void setNotifyAfter(std::chrono::milliseconds duration) { m_notifyAfter = duration; }
    /// The page "Help Manual" opens.
    void setUserManual(const std::string &path) { m_userManual = path; }
    /// What makes one PDF per mailbox when that option is chosen; without it the option only
    /// warns that none was made.
    void setBundleAssembler(BundleAssemblerFactory makeAssembler) { m_makeBundleAssembler = std::move(makeAssembler); }

    /// True from the press of Convert until its run has ended.
    bool isRunning() const;
    MailboxList &mailboxList() { return m_list; }

    NamingOption namingOption() const;
    /// What the attachment controls ask for: nothing while the check box is clear, whatever
    /// option shows as selected.
    AttachmentMode attachmentMode() const;

protected:
    /// A close mid-run asks whether to stop the run and exit; on Yes the run stops, its report
    /// file is written and the program ends, on No the run goes on. Any other close ends the
    /// program without a question, during a folder scan at once.
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    /// Mailbox files and folders dropped on the window are added as by the two add buttons.
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    void createCanvas();
    void createBanner();
    void createListControls();
    void createNamingOptions();
    void createAttachmentOptions();
    void createProgressArea();
    void createBottomBand();
    void setTabOrder();
    void connectHandlers();

    void cmdAdd_Click();
    void cmdClear1_Click();
    void CmdAddFolder_Click();
    void CmdConvert_Click();
    void ChkSaveAttach_Click();
    void CmdHelp_Click();
    void cmdEnd_Click();

    void setListButtonsEnabled(bool enabled);
    void removeSelectedRows();
    void setOptionsEnabled(bool enabled);
    void resetProgressLabels();
    void setConvertEnabled(bool enabled);
    /// Asks the run under way to stop; Convert shows it is stopping.
    void stopRun();

    void runStarted(std::uint64_t totalBytes) override;
    void mailboxStarted(int row, int rowCount, const std::string &mailboxPath) override;
    void mailboxConverted(int row) override;
    void mailboxFailed(int row) override;
    void messageFinished(int messageNumber, MessageOutcome outcome) override;
    void progressed(const RunProgress &progress) override;
    void runFinished(const RunReport &report) override;

    void mailboxRowAdded(int row, const std::string &text) override;
    void mailboxRowsCleared() override;
    void mailboxCountChanged(const std::string &text) override;
    void mailboxCurrentRowChanged(int row) override;
    void mailboxRowMarkChanged(int row, RunMark mark) override;

    Platform &m_platform;
    ConcurrentMailConverterFactory m_makeConverter;
    MessageReaderFactory m_makeReader;
    MailboxList m_list;
    MailboxListActions m_listActions;
    bool m_running = false;
    /// The run under way, for Stop.
    ConversionRun *m_run = nullptr;
    /// The user chose to exit mid-run: the program ends once the run has stopped.
    bool m_exitAfterRun = false;
    /// Exit's own question was answered Yes; the close asks nothing more.
    bool m_exitConfirmed = false;
    std::function<void()> m_endProcess;
    std::string m_userManual;
    BundleAssemblerFactory m_makeBundleAssembler;
    /// For the run under way: whether it bundles each mailbox it converted, its mailbox list
    /// and output folder, and what the bundles warn of, for its report.
    bool m_bundleEachMailbox = false;
    std::vector<std::string> m_runMailboxes;
    std::string m_runOutputFolder;
    std::vector<std::string> m_bundleWarnings;
    bool m_scrollPending = false;
    QElapsedTimer m_runClock;
    std::chrono::milliseconds m_notifyAfter{std::chrono::seconds(10)};
    /// The percentage the taskbar entry shows, -1 when none.
    int m_taskbarPercent = -1;

    QScrollArea *m_scrollArea = nullptr;
    QWidget *m_canvas = nullptr;
    QLabel *Image2 = nullptr;
    QWidget *Line1 = nullptr;
    QPushButton *cmdAdd = nullptr;
    QPushButton *CmdAddFolder = nullptr;
    QPushButton *cmdClear1 = nullptr;
    QLabel *lblCount1 = nullptr;
    QTableWidget *grdFiles1 = nullptr;
    QGroupBox *Frame1 = nullptr;
    QWidget *Picture1 = nullptr;
    QButtonGroup *namingGroup = nullptr;
    QCheckBox *ChkSaveAttach = nullptr;
    QGroupBox *FrameAttach = nullptr;
    QWidget *Picture2 = nullptr;
    QButtonGroup *attachmentGroup = nullptr;
    QRadioButton *OptSaveAttachEmbed = nullptr;
    QRadioButton *OptSaveAttachFolder = nullptr;
    QLabel *Label4 = nullptr;
    QLabel *LblProgessCurrent = nullptr;
    QLabel *Label1 = nullptr;
    QLabel *LblIMMFile = nullptr;
    QLabel *Image3 = nullptr;
    QLabel *LblProgress = nullptr;
    QProgressBar *runProgress = nullptr;
    QPushButton *CmdConvert = nullptr;
    QWidget *Shape1 = nullptr;
    QWidget *Picture3 = nullptr;
    QPushButton *CmdHelp = nullptr;
    QToolButton *CmdOptions = nullptr;
    QPushButton *cmdEnd = nullptr;
};

} // namespace tessaly
