// The program's one window: the mailbox list, the options, the run's progress, help and exit.
#pragma once

#include "app/WindowRunController.h"
#include "conversion/MailboxBundle.h"
#include "conversion/NamingOption.h"
#include "mailboxlist/MailboxList.h"
#include "mailboxlist/MailboxListActions.h"
#include "platform/ConcurrentMailConverter.h"
#include "platform/MailConverter.h"
#include "platform/MessageReader.h"

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

class MailboxGrid;
class Platform;

/// The window: its layout and its handlers. Controls carry their design names as object names.
/// A run takes the list and the options at its start; a WindowRunController runs it and shows
/// its progress.
class frmStep1 : public QWidget
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
    void setNotifyAfter(std::chrono::milliseconds duration) { m_runController->setNotifyAfter(duration); }
    /// The page "Help Manual" opens.
    void setUserManual(const std::string &path) { m_userManual = path; }
    /// What makes one PDF per mailbox when that option is chosen; without it the option only
    /// warns that none was made.
    void setBundleAssembler(BundleAssemblerFactory makeAssembler)
    {
        m_runController->setBundleAssembler(std::move(makeAssembler));
    }

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
    void setConvertEnabled(bool enabled);

    Platform &m_platform;
    MailboxList m_list;
    MailboxListActions m_listActions;
    /// From the press of Convert until its run has ended.
    bool m_running = false;
    /// Made once the controls it drives are.
    std::unique_ptr<WindowRunController> m_runController;
    /// Exit's own question was answered Yes; the close asks nothing more.
    bool m_exitConfirmed = false;
    std::function<void()> m_endProcess;
    std::string m_userManual;
    /// The list's view on grdFiles1, made with it.
    std::unique_ptr<MailboxGrid> m_grid;

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
