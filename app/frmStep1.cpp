#include "app/frmStep1.h"

#include "app/ArchiveOptions.h"
#include "app/Artwork.h"
#include "app/MailboxGrid.h"
#include "app/UserManual.h"
#include "app/WindowFont.h"
#include "conversion/OpenedMailbox.h"
#include "platform/Platform.h"
#include "support/ScopedFlag.h"

#include <QBoxLayout>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QStyle>
#include <QTableWidget>
#include <QTimer>
#include <QToolButton>
#include <QUrl>

#include <algorithm>
#include <cstdlib>
#include <utility>

namespace tessaly {

QSize fittedClientSize(const QSize &design, const QSize &room, int scrollBarExtent)
{
    if (design.width() <= room.width() && design.height() <= room.height())
        return design;
    // A scroll bar in one direction takes room from the other.
    const bool scrollsDown = design.height() > room.height();
    const bool scrollsAcross = design.width() + (scrollsDown ? scrollBarExtent : 0) > room.width();
    return {std::min(design.width() + (scrollsDown ? scrollBarExtent : 0), room.width()),
            std::min(design.height() + (scrollsAcross ? scrollBarExtent : 0), room.height())};
}

namespace {

/// The client area the layout was drawn for, at 96 dots per inch.
constexpr int kClientWidth = 599;
constexpr int kClientHeight = 640;
/// Title bars of common desktops are at least this tall; styles often report less.
constexpr int kLeastTitleBarHeight = 32;

const QColor kRuleColour(0, 64, 64);

template <typename Widget> Widget *place(Widget *widget, const char *name, int left, int top, int width, int height)
{
    widget->setObjectName(QLatin1String(name));
    widget->setGeometry(left, top, width, height);
    return widget;
}

/// The classic light look of the design, every role set.
QPalette designPalette()
{
    const QColor face(240, 240, 240);
    const QColor disabledText(120, 120, 120);
    QPalette palette;
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        const bool disabled = group == QPalette::Disabled;
        palette.setColor(group, QPalette::Window, face);
        palette.setColor(group, QPalette::WindowText, disabled ? disabledText : QColor(Qt::black));
        palette.setColor(group, QPalette::Base, disabled ? face : QColor(Qt::white));
        palette.setColor(group, QPalette::AlternateBase, QColor(245, 245, 245));
        palette.setColor(group, QPalette::Text, disabled ? disabledText : QColor(Qt::black));
        palette.setColor(group, QPalette::PlaceholderText, disabledText);
        palette.setColor(group, QPalette::Button, face);
        palette.setColor(group, QPalette::ButtonText, disabled ? disabledText : QColor(Qt::black));
        palette.setColor(group, QPalette::BrightText, Qt::white);
        palette.setColor(group, QPalette::Light, Qt::white);
        palette.setColor(group, QPalette::Midlight, QColor(227, 227, 227));
        palette.setColor(group, QPalette::Mid, QColor(160, 160, 160));
        palette.setColor(group, QPalette::Dark, QColor(160, 160, 160));
        palette.setColor(group, QPalette::Shadow, QColor(105, 105, 105));
        palette.setColor(group, QPalette::Highlight, disabled ? face : QColor(0, 0, 192));
        palette.setColor(group, QPalette::HighlightedText, disabled ? disabledText : QColor(Qt::white));
        palette.setColor(group, QPalette::ToolTipBase, QColor(255, 255, 225));
        palette.setColor(group, QPalette::ToolTipText, Qt::black);
        palette.setColor(group, QPalette::Link, QColor(0, 0, 255));
        palette.setColor(group, QPalette::LinkVisited, QColor(128, 0, 128));
    }
    return palette;
}

/// Local files and folders among dropped URLs.
std::vector<std::string> droppedPaths(const QMimeData *data)
{
    std::vector<std::string> paths;
    if (!data || !data->hasUrls())
        return paths;
    for (const QUrl &url : data->urls()) {
        if (url.isLocalFile())
            paths.push_back(QDir::toNativeSeparators(url.toLocalFile()).toStdString());
    }
    return paths;
}

void makeBold(QWidget *widget)
{
    QFont font = widget->font();
    font.setBold(true);
    widget->setFont(font);
}

void setTextColour(QWidget *widget, const QColor &colour)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    palette.setColor(QPalette::ButtonText, colour);
    widget->setPalette(palette);
}

void fillWith(QWidget *widget, const QColor &colour)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, colour);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

struct NamingButton
{
    NamingOption option;
    const char *name;
    int left, top, width;
};

// Columns of the naming group, top to bottom; the ids are the NamingOption values.
constexpr NamingButton kNamingButtons[] = {
    {NamingOption::OptOriginal, "OptOriginal", 0, 8, 209},
    {NamingOption::OptSD, "OptSD", 0, 32, 209},
    {NamingOption::OptFSD, "OptFSD", 0, 56, 249},
    {NamingOption::OptFSD_YMD, "OptFSD_YMD", 0, 80, 249},
    {NamingOption::OptDFS, "OptDFS", 312, 8, 209},
    {NamingOption::OptDFS_YMD, "OptDFS_YMD", 312, 32, 209},
    {NamingOption::OptDFS_YMD2, "OptDFS_YMD2", 312, 56, 225},
    {NamingOption::OptDFS_MYD, "OptDFS_MYD", 312, 80, 225},
};

} // namespace

frmStep1::frmStep1(Platform &platform, ConcurrentMailConverterFactory makeConverter, MessageReaderFactory makeReader,
                   QWidget *parent)
    : QWidget(parent), m_platform(platform),
      m_listActions(platform, m_list, [this](bool enabled) { setConvertEnabled(enabled); }),
      m_endProcess([] { std::_Exit(EXIT_SUCCESS); })
{
    setObjectName(QStringLiteral("frmStep1"));
    setWindowTitle(QStringLiteral("Tessaly v1.2"));
    setWindowIcon(programIcon());
    setFont(windowFont());
    // Every colour is set, so a dark desktop theme cannot leave dark text on the white list.
    setPalette(designPalette());
    createCanvas();

    createBanner();
    createListControls();
    createNamingOptions();
    createAttachmentOptions();
    createProgressArea();
    createBottomBand();
    m_runController = std::make_unique<WindowRunController>(
        platform, *this, m_list, *CmdConvert,
        RunProgressView::Controls{LblProgessCurrent, LblIMMFile, LblProgress, runProgress}, std::move(makeConverter),
        std::move(makeReader));
    setTabOrder();
    connectHandlers();
    setAcceptDrops(true);

    m_list.setView(m_grid.get());
    m_listActions.setMailboxCheck([](const std::string &path) {
        const Result<MailboxStart> start = checkMailboxFile(path);
        return !start || start.value().content != MailboxContent::NotAMailbox;
    });
}

void frmStep1::createCanvas()
{
    // The controls keep their design places on a canvas of the design size; where the screen
    // is smaller, the window shrinks to it and the canvas scrolls.
    m_scrollArea = new QScrollArea(this);
    m_scrollArea->setObjectName(QStringLiteral("scrollArea"));
    m_scrollArea->setFrameShape(QFrame::NoFrame);
    m_scrollArea->setFocusPolicy(Qt::NoFocus);
    m_canvas = new QWidget;
    m_canvas->setObjectName(QStringLiteral("canvas"));
    m_canvas->setFixedSize(kClientWidth, kClientHeight);
    m_scrollArea->setWidget(m_canvas);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_scrollArea);
    setFixedSize(kClientWidth, kClientHeight);
}

void frmStep1::fitToScreenArea(const QRect &available, const QMargins &frame)
{
    const int scrollBar = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    const QSize room = available.size().shrunkBy(frame);
    setFixedSize(fittedClientSize(QSize(kClientWidth, kClientHeight), room, scrollBar));
    QRect window(QPoint(), size().grownBy(frame));
    window.moveCenter(available.center());
    window.moveTop(std::max(window.top(), available.top()));
    move(window.topLeft()); // a window's position is that of its frame
}

frmStep1::~frmStep1()
{
    m_list.setView(nullptr);
}

void frmStep1::createBanner()
{
    Image2 = place(new QLabel(m_canvas), "Image2", 0, 0, 600, 85);
    Image2->setPixmap(QPixmap::fromImage(drawBanner(devicePixelRatioF())));
    Line1 = place(new QWidget(m_canvas), "Line1", 0, 85, 600, 1);
    fillWith(Line1, kRuleColour);
}

void frmStep1::createListControls()
{
    cmdAdd = place(new QPushButton(QStringLiteral("Select (.mbox) file(s)..."), m_canvas), "cmdAdd", 16, 96, 169, 25);
    CmdAddFolder = place(new QPushButton(QStringLiteral("Select folder having (.mbox) file(s)..."), m_canvas),
                         "CmdAddFolder", 200, 96, 225, 25);
    cmdClear1 = place(new QPushButton(QStringLiteral("Clear file(s)..."), m_canvas), "cmdClear1", 496, 96, 89, 25);
    lblCount1 = place(new QLabel(QStringLiteral("0 files"), m_canvas), "lblCount1", 16, 128, 569, 17);

    grdFiles1 = place(new QTableWidget(1, 1, m_canvas), "grdFiles1", 16, 144, 569, 105);
    grdFiles1->installEventFilter(this); // Delete removes the selected rows
    m_grid = std::make_unique<MailboxGrid>(*grdFiles1, *lblCount1, palette());
}

void frmStep1::createNamingOptions()
{
    Frame1 = place(new QGroupBox(QStringLiteral(" File Naming Options "), m_canvas), "Frame1", 16, 256, 569, 129);
    Picture1 = place(new QWidget(Frame1), "Picture1", 8, 16, 553, 105);
    namingGroup = new QButtonGroup(this);
    for (const NamingButton &button : kNamingButtons) {
        const std::string_view caption = namingName(button.option).caption;
        auto *option =
            place(new QRadioButton(QLatin1String(caption.data(), static_cast<qsizetype>(caption.size())), Picture1),
                  button.name, button.left, button.top, button.width, 17);
        namingGroup->addButton(option, static_cast<int>(button.option));
    }
    QAbstractButton *original = namingGroup->button(static_cast<int>(NamingOption::OptOriginal));
    original->setChecked(true);
    makeBold(original);
    setTextColour(namingGroup->button(static_cast<int>(NamingOption::OptDFS_YMD)), Qt::black);
}

void frmStep1::createAttachmentOptions()
{
    ChkSaveAttach =
        place(new QCheckBox(QStringLiteral("Save Attachments"), m_canvas), "ChkSaveAttach", 16, 392, 241, 17);
    makeBold(ChkSaveAttach);
    FrameAttach =
        place(new QGroupBox(QStringLiteral(" Attachment Saving Options"), m_canvas), "FrameAttach", 16, 416, 569, 57);
    Picture2 = place(new QWidget(FrameAttach), "Picture2", 8, 16, 497, 33);
    OptSaveAttachEmbed = place(new QRadioButton(QStringLiteral("Save Attachments && Embed in PDF file"), Picture2),
                               "OptSaveAttachEmbed", 0, 8, 249, 17);
    OptSaveAttachFolder = place(new QRadioButton(QStringLiteral("Save Attachments in Seperate Folder"), Picture2),
                                "OptSaveAttachFolder", 288, 8, 209, 17);
    attachmentGroup = new QButtonGroup(this);
    attachmentGroup->addButton(OptSaveAttachEmbed);
    attachmentGroup->addButton(OptSaveAttachFolder);
    OptSaveAttachEmbed->setChecked(true);
    FrameAttach->setEnabled(false);
    OptSaveAttachEmbed->setEnabled(false);
    OptSaveAttachFolder->setEnabled(false);
}

void frmStep1::createProgressArea()
{
    Label4 = place(new QLabel(QStringLiteral("Converting Messages..."), m_canvas), "Label4", 16, 477, 121, 17);
    LblProgessCurrent =
        place(new QLabel(QStringLiteral("Mailbox  0 (of 0)"), m_canvas), "LblProgessCurrent", 40, 496, 545, 17);
    Label1 = place(new QLabel(QStringLiteral("Reading          :"), m_canvas), "Label1", 40, 512, 89, 17);
    makeBold(Label1);
    setTextColour(Label1, kRuleColour);
    LblIMMFile = place(new QLabel(m_canvas), "LblIMMFile", 128, 512, 457, 17);
    Image3 = place(new QLabel(m_canvas), "Image3", 40, 529, 16, 16);
    Image3->setPixmap(QPixmap::fromImage(drawProgramIcon(16)));
    LblProgress = place(new QLabel(QStringLiteral("Saving :"), m_canvas), "LblProgress", 64, 529, 521, 17);
    for (QLabel *label : {LblProgessCurrent, LblIMMFile, LblProgress})
        setTextColour(label, Qt::black);

    // How far the whole run has come, beside the heading of the progress area (RunProgressView).
    runProgress = place(new QProgressBar(m_canvas), "runProgress", 144, 478, 441, 15);

    CmdConvert = place(new QPushButton(QStringLiteral("Convert"), m_canvas), "CmdConvert", 208, 552, 185, 37);
    CmdConvert->setFont(windowFont(kConvertFontPixels));
    CmdConvert->setEnabled(false);
}

void frmStep1::createBottomBand()
{
    Shape1 = place(new QWidget(m_canvas), "Shape1", 0, 600, 601, 57);
    Shape1->setAttribute(Qt::WA_StyledBackground);
    Shape1->setStyleSheet(QStringLiteral("#Shape1 { background-color: white; border: 1px solid rgb(192, 192, 192); }"));
    Picture3 = place(new QWidget(m_canvas), "Picture3", 16, 608, 577, 33);
    fillWith(Picture3, Qt::white);
    CmdHelp = place(new QPushButton(QStringLiteral("&Help Manual"), Picture3), "CmdHelp", 0, 0, 113, 25);
    // Choices beyond the design's go in a menu on the bottom band's free space, so the
    // design's size and places stay as they are.
    CmdOptions = place(new QToolButton(Picture3), "CmdOptions", 121, 0, 89, 25);
    CmdOptions->setText(QStringLiteral("&Options"));
    CmdOptions->setPopupMode(QToolButton::InstantPopup);
    CmdOptions->setToolButtonStyle(Qt::ToolButtonTextOnly);
    auto *options = new QMenu(CmdOptions);
    QAction *embedSource = options->addAction(QStringLiteral("&Embed the Original Message in Each PDF"));
    embedSource->setObjectName(QStringLiteral("mnuEmbedSource"));
    embedSource->setCheckable(true);
    embedSource->setChecked(embedSourceChosen());
    connect(embedSource, &QAction::toggled, this, [](bool checked) { setEmbedSourceChosen(checked); });
    QAction *bundle = options->addAction(QStringLiteral("&Also Make One PDF per Mailbox"));
    bundle->setObjectName(QStringLiteral("mnuBundle"));
    bundle->setCheckable(true);
    bundle->setChecked(bundleChosen());
    connect(bundle, &QAction::toggled, this, [](bool checked) { setBundleChosen(checked); });
    CmdOptions->setMenu(options);
    cmdEnd = place(new QPushButton(QStringLiteral("E&xit"), Picture3), "cmdEnd", 480, 0, 89, 25);
}

void frmStep1::setTabOrder()
{
    QList<QWidget *> chain{cmdAdd,  cmdClear1,  CmdAddFolder,  grdFiles1,          CmdConvert,         cmdEnd,
                           CmdHelp, CmdOptions, ChkSaveAttach, OptSaveAttachEmbed, OptSaveAttachFolder};
    for (QAbstractButton *option : namingGroup->buttons())
        chain.append(option);
    for (qsizetype i = 1; i < chain.size(); ++i)
        QWidget::setTabOrder(chain[i - 1], chain[i]);
}

void frmStep1::connectHandlers()
{
    connect(cmdAdd, &QPushButton::clicked, this, &frmStep1::cmdAdd_Click);
    connect(cmdClear1, &QPushButton::clicked, this, &frmStep1::cmdClear1_Click);
    connect(CmdAddFolder, &QPushButton::clicked, this, &frmStep1::CmdAddFolder_Click);
    connect(CmdConvert, &QPushButton::clicked, this, &frmStep1::CmdConvert_Click);
    // toggled, not clicked: the space bar and code change the state as a click does.
    connect(ChkSaveAttach, &QCheckBox::toggled, this, &frmStep1::ChkSaveAttach_Click);
    connect(CmdHelp, &QPushButton::clicked, this, &frmStep1::CmdHelp_Click);
    connect(cmdEnd, &QPushButton::clicked, this, &frmStep1::cmdEnd_Click);
}

void frmStep1::showCentred()
{
    if (const QScreen *screen = this->screen()) {
        // The frame is known only once shown: estimated first, measured as soon as it is known.
        const int border = style()->pixelMetric(QStyle::PM_MdiSubWindowFrameWidth);
        const int titleBar = std::max(style()->pixelMetric(QStyle::PM_TitleBarHeight), kLeastTitleBarHeight);
        fitToScreenArea(screen->availableGeometry(), QMargins(border, titleBar + border, border, border));
        QTimer::singleShot(0, this, [this] {
            const QRect frame = frameGeometry();
            const QRect client = geometry();
            if (frame == client || !this->screen())
                return;
            fitToScreenArea(this->screen()->availableGeometry(),
                            QMargins(client.left() - frame.left(), client.top() - frame.top(),
                                     frame.right() - client.right(), frame.bottom() - client.bottom()));
        });
    }
    show();
    cmdAdd->setFocus(Qt::OtherFocusReason);
}

void frmStep1::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // Drawn for the screen it shows on, so it stays sharp at 2x.
    Image2->setPixmap(QPixmap::fromImage(drawBanner(devicePixelRatioF())));
}

void frmStep1::dragEnterEvent(QDragEnterEvent *event)
{
    if (!isRunning() && !droppedPaths(event->mimeData()).empty())
        event->acceptProposedAction();
}

void frmStep1::dropEvent(QDropEvent *event)
{
    const std::vector<std::string> paths = droppedPaths(event->mimeData());
    if (isRunning() || paths.empty())
        return;
    event->acceptProposedAction();
    m_listActions.addDropped(paths);
}

bool frmStep1::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == grdFiles1 && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent *>(event)->matches(QKeySequence::Delete)) {
        removeSelectedRows();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void frmStep1::removeSelectedRows()
{
    if (isRunning())
        return;
    m_list.removeRows(m_grid->selectedRows());
}

void frmStep1::cmdAdd_Click()
{
    m_listActions.addFilesFromDialog();
}

void frmStep1::cmdClear1_Click()
{
    m_listActions.clearAfterQuestion();
}

void frmStep1::CmdAddFolder_Click()
{
    m_listActions.addMailboxesFromFolder();
}

void frmStep1::CmdConvert_Click()
{
    if (isRunning()) {
        m_runController->requestStop();
        return;
    }
    // Running from before the folder is asked for. The list buttons stay disabled until the
    // run has ended.
    ScopedFlag running(m_running);
    setListButtonsEnabled(false);
    // The run takes the options at its start; the frames show they are fixed until it ends.
    setOptionsEnabled(false);
    m_runController->convert(m_list.rows(), RunSettings{namingOption(), attachmentMode(), {}}, bundleChosen());
    // Another run may go into another folder at once.
    setConvertEnabled(!m_list.isEmpty());
    setOptionsEnabled(true);
    setListButtonsEnabled(true);
    if (m_runController->exitRequested())
        QTimer::singleShot(0, this, &QWidget::close);
}

void frmStep1::ChkSaveAttach_Click()
{
    const bool enabled = ChkSaveAttach->isChecked();
    FrameAttach->setEnabled(enabled);
    OptSaveAttachEmbed->setEnabled(enabled);
    OptSaveAttachFolder->setEnabled(enabled);
}

void frmStep1::CmdHelp_Click()
{
    if (m_platform.ShellOpen(m_userManual))
        return;
    m_platform.showMessageBox(manualNotOpenedText(m_userManual), MessageBoxStyle::Information);
}

void frmStep1::cmdEnd_Click()
{
    if (m_platform.showMessageBox("Are you sure you want to exit now?", MessageBoxStyle::YesNoQuestion) ==
        MessageBoxAnswer::Yes) {
        m_exitConfirmed = true;
        close();
    }
}

void frmStep1::closeEvent(QCloseEvent *event)
{
    if (m_runController->hasRunUnderWay()) {
        // The run holds the stack below this call: it stops, writes its report file and
        // returns, and the window closes then.
        event->ignore();
        const bool exit = std::exchange(m_exitConfirmed, false) ||
                          m_platform.showMessageBox("A conversion is running. Stop it and exit?",
                                                    MessageBoxStyle::YesNoQuestion) == MessageBoxAnswer::Yes;
        if (exit)
            m_runController->stopAndExit();
        return;
    }
    event->accept();
    // A folder scan holds the stack below this call; ending the process is the only way to
    // stop it at once.
    if (isRunning() || m_listActions.isScanning())
        m_endProcess();
    QCoreApplication::quit();
}

void frmStep1::setListButtonsEnabled(bool enabled)
{
    cmdAdd->setEnabled(enabled);
    CmdAddFolder->setEnabled(enabled);
    cmdClear1->setEnabled(enabled);
}

void frmStep1::setOptionsEnabled(bool enabled)
{
    Frame1->setEnabled(enabled);
    CmdOptions->setEnabled(enabled);
    ChkSaveAttach->setEnabled(enabled);
    FrameAttach->setEnabled(enabled && ChkSaveAttach->isChecked());
}

bool frmStep1::isRunning() const
{
    return m_running;
}

NamingOption frmStep1::namingOption() const
{
    return static_cast<NamingOption>(namingGroup->checkedId());
}

AttachmentMode frmStep1::attachmentMode() const
{
    if (!ChkSaveAttach->isChecked())
        return AttachmentMode::ListOnly;
    return OptSaveAttachFolder->isChecked() ? AttachmentMode::Folder : AttachmentMode::Embed;
}

void frmStep1::setConvertEnabled(bool enabled)
{
    CmdConvert->setEnabled(enabled);
}

} // namespace tessaly
