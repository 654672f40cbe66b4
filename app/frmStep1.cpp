#include "app/frmStep1.h"

#include "app/ArchiveOptions.h"
#include "app/Artwork.h"
#include "app/WindowRunTexts.h"
#include "app/UserManual.h"
#include "app/WindowFont.h"
#include "app/WindowRun.h"
#include "conversion/ConversionRun.h"
#include "conversion/MailboxStartCheck.h"
#include "platform/Platform.h"
#include "platform/ThrottledEventPump.h"
#include "support/PathHelpers.h"
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
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QTableWidget>
#include <QTimer>
#include <QToolButton>
#include <QUrl>

#include <algorithm>
#include <cstdlib>
#include <future>
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
/// Wide enough for long paths; the grid scrolls sideways to show them.
constexpr int kGridColumnWidth = 1000;
constexpr int kGridRowHeight = 17;
constexpr int kProgressSteps = 1000;
/// Title bars of common desktops are at least this tall; styles often report less.
constexpr int kLeastTitleBarHeight = 32;

const QColor kCellColour(255, 255, 191);
/// Rows the last run converted: a pale green instead of the light yellow.
const QColor kConvertedCellColour(204, 236, 204);
/// Rows the last run could not convert: a pale red.
const QColor kFailedCellColour(255, 204, 204);
const QColor kRuleColour(0, 64, 64);

QString fromUtf8(const std::string &text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

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

QTableWidgetItem *cellItem(const QString &text)
{
    auto *item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    item->setBackground(kCellColour);
    item->setForeground(QColor(Qt::black));
    return item;
}

void markCell(QTableWidgetItem *item, RunMark mark)
{
    switch (mark) {
    case RunMark::None:
        item->setBackground(kCellColour);
        item->setToolTip(QString());
        break;
    case RunMark::Converted:
        item->setBackground(kConvertedCellColour);
        item->setToolTip(QStringLiteral("Converted by the last run"));
        break;
    case RunMark::Failed:
        item->setBackground(kFailedCellColour);
        item->setToolTip(QStringLiteral("Failed in the last run; the report says why"));
        break;
    }
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
    : QWidget(parent), m_platform(platform), m_makeConverter(std::move(makeConverter)),
      m_makeReader(std::move(makeReader)),
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
    setTabOrder();
    connectHandlers();
    setAcceptDrops(true);

    m_list.setView(this);
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
    grdFiles1->horizontalHeader()->hide();
    grdFiles1->verticalHeader()->hide();
    grdFiles1->verticalHeader()->setMinimumSectionSize(kGridRowHeight);
    grdFiles1->verticalHeader()->setDefaultSectionSize(kGridRowHeight);
    grdFiles1->horizontalHeader()->setStretchLastSection(false);
    grdFiles1->setColumnWidth(0, kGridColumnWidth);
    grdFiles1->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    grdFiles1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    grdFiles1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdFiles1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    grdFiles1->installEventFilter(this); // Delete removes the selected rows
    grdFiles1->setWordWrap(false);
    grdFiles1->setAutoScroll(false); // see mailboxCurrentRowChanged
    grdFiles1->setTextElideMode(Qt::ElideNone);
    grdFiles1->setStyleSheet(QStringLiteral("QTableWidget { background-color: white; color: black; "
                                            "gridline-color: rgb(192, 192, 192); "
                                            "selection-background-color: rgb(0, 0, 192); "
                                            "selection-color: white; }"));
    // A style sheet takes its colours from the application, not the window: the scroll bars
    // get the design palette of their own.
    grdFiles1->horizontalScrollBar()->setPalette(palette());
    grdFiles1->verticalScrollBar()->setPalette(palette());
    grdFiles1->setItem(0, 0, cellItem(QString()));
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

    // How far the whole run has come, beside the heading of the progress area.
    runProgress = place(new QProgressBar(m_canvas), "runProgress", 144, 478, 441, 15);
    runProgress->setRange(0, kProgressSteps);
    runProgress->setValue(0);
    runProgress->setTextVisible(false);

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
    std::vector<int> rows;
    for (const QModelIndex &index : grdFiles1->selectionModel()->selectedIndexes())
        rows.push_back(index.row());
    m_list.removeRows(std::move(rows));
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
        stopRun();
        return;
    }
    // Running from before the folder is asked for. The list buttons stay disabled until the
    // run has ended.
    ScopedFlag running(m_running);
    setListButtonsEnabled(false);
    // The run takes the options at its start; the frames show they are fixed until it ends.
    setOptionsEnabled(false);
    const std::vector<std::string> mailboxes = m_list.rows();
    ConversionRun run(wholeMailboxRows(mailboxes), RunSettings{namingOption(), attachmentMode(), {}}, *this,
                      m_makeConverter, m_makeReader);
    m_run = &run;
    m_bundleEachMailbox = bundleChosen();
    m_runMailboxes = mailboxes;
    runWithOutputFolderChoice(
        m_platform, mailboxes, [this] { CmdConvert->setText(QStringLiteral("Stop")); },
        [this, &run](const std::string &outputFolder) {
            m_runOutputFolder = outputFolder;
            RunReport report = run.convertInto(outputFolder);
            report.warnings.insert(report.warnings.end(), m_bundleWarnings.begin(), m_bundleWarnings.end());
            m_bundleWarnings.clear();
            return report;
        },
        [this] { return m_exitAfterRun; });
    m_run = nullptr;
    CmdConvert->setText(QStringLiteral("Convert"));
    // Another run may go into another folder at once.
    setConvertEnabled(!m_list.isEmpty());
    setOptionsEnabled(true);
    setListButtonsEnabled(true);
    if (m_exitAfterRun)
        QTimer::singleShot(0, this, &QWidget::close);
}

void frmStep1::stopRun()
{
    if (!m_run || m_run->isStopRequested())
        return;
    m_run->requestStop();
    CmdConvert->setText(QStringLiteral("Stopping..."));
    CmdConvert->setEnabled(false);
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
    if (m_run) {
        // The run holds the stack below this call: it stops, writes its report file and
        // returns, and the window closes then.
        event->ignore();
        const bool exit = std::exchange(m_exitConfirmed, false) ||
                          m_platform.showMessageBox("A conversion is running. Stop it and exit?",
                                                    MessageBoxStyle::YesNoQuestion) == MessageBoxAnswer::Yes;
        if (exit) {
            m_exitAfterRun = true;
            stopRun();
        }
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

void frmStep1::resetProgressLabels()
{
    LblProgessCurrent->setText(QStringLiteral("Mailbox  0 (of 0)"));
    LblIMMFile->clear();
    LblProgress->setText(QStringLiteral("Saving :"));
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

void frmStep1::runStarted(std::uint64_t)
{
    m_list.clearRunMarks();
    resetProgressLabels();
    runProgress->setValue(0);
    runProgress->setFormat(fromUtf8(runProgressText(0, 0, 0, 0)));
    runProgress->setTextVisible(true);
    m_runClock.start();
    m_taskbarPercent = 0;
    m_platform.showTaskbarProgress(0.0);
}

void frmStep1::mailboxStarted(int row, int rowCount, const std::string &mailboxPath)
{
    m_list.setCurrentRow(row);
    m_platform.processPendingEvents();
    LblProgessCurrent->setText(fromUtf8(mailboxProgressText(row + 1, rowCount)));
    // The count of the mailbox before must not stand for this one.
    LblProgress->setText(QStringLiteral("Saving :"));
    LblIMMFile->setText(fromUtf8(sourceName(mailboxPath)));
    m_platform.processPendingEvents();
}

void frmStep1::mailboxConverted(int row)
{
    m_list.markConvertedByLastRun(row);
    if (!m_bundleEachMailbox || row < 0 || static_cast<std::size_t>(row) >= m_runMailboxes.size())
        return;
    LblProgress->setText(QStringLiteral("Making one PDF..."));
    m_platform.processPendingEvents();
    // Joining a large mailbox takes seconds: the window keeps drawing meanwhile.
    std::future<std::vector<std::string>> bundling =
        std::async(std::launch::async, bundleConvertedMailbox, m_runOutputFolder,
                   m_runMailboxes[static_cast<std::size_t>(row)], m_makeBundleAssembler);
    while (bundling.wait_for(ThrottledEventPump::kDefaultInterval) != std::future_status::ready)
        m_platform.processPendingEvents();
    std::vector<std::string> warnings = bundling.get();
    m_bundleWarnings.insert(m_bundleWarnings.end(), warnings.begin(), warnings.end());
}

void frmStep1::mailboxFailed(int row)
{
    m_list.markFailedInLastRun(row);
}

void frmStep1::messageFinished(int messageNumber, MessageOutcome)
{
    LblProgress->setText(fromUtf8(savedProgressText(messageNumber)));
}

void frmStep1::progressed(const RunProgress &progress)
{
    const std::uint64_t steps =
        progress.totalBytes == 0 ? 0 : progress.bytesSplit * kProgressSteps / progress.totalBytes;
    runProgress->setValue(static_cast<int>(std::min<std::uint64_t>(steps, kProgressSteps)));
    // The taskbar hears of whole percents only: each update is a message on the session bus.
    if (const int percent = runProgress->value() * 100 / kProgressSteps; percent != m_taskbarPercent) {
        m_taskbarPercent = percent;
        m_platform.showTaskbarProgress(percent / 100.0);
    }
    const double elapsed = static_cast<double>(m_runClock.elapsed()) / 1000.0;
    runProgress->setFormat(
        fromUtf8(runProgressText(progress.messagesDone, progress.bytesSplit, progress.totalBytes, elapsed)));
    m_platform.processPendingEvents();
}

void frmStep1::runFinished(const RunReport &report)
{
    resetProgressLabels();
    runProgress->setValue(0);
    runProgress->setTextVisible(false);
    m_taskbarPercent = -1;
    m_platform.showTaskbarProgress(std::nullopt);
    // Nothing to stop while the report box shows; Convert is back once it is closed.
    CmdConvert->setText(QStringLiteral("Convert"));
    CmdConvert->setEnabled(false);
    if (m_runClock.elapsed() >= m_notifyAfter.count() && !isActiveWindow())
        m_platform.notifyDesktop(report.stoppedByUser() ? "Conversion stopped" : "Conversion finished",
                                 runCountsLine(report));
}

void frmStep1::setConvertEnabled(bool enabled)
{
    CmdConvert->setEnabled(enabled);
}

void frmStep1::mailboxRowAdded(int row, const std::string &text)
{
    if (row >= grdFiles1->rowCount())
        grdFiles1->setRowCount(row + 1);
    grdFiles1->setItem(row, 0, cellItem(fromUtf8(text)));
}

void frmStep1::mailboxRowMarkChanged(int row, RunMark mark)
{
    if (QTableWidgetItem *item = grdFiles1->item(row, 0))
        markCell(item, mark);
}

void frmStep1::mailboxRowsCleared()
{
    grdFiles1->setRowCount(1);
    grdFiles1->setItem(0, 0, cellItem(QString()));
}

void frmStep1::mailboxCountChanged(const std::string &text)
{
    lblCount1->setText(fromUtf8(text));
}

void frmStep1::mailboxCurrentRowChanged(int row)
{
    grdFiles1->selectionModel()->setCurrentIndex(grdFiles1->model()->index(row, 0),
                                                 QItemSelectionModel::ClearAndSelect);
    // Scrolling to the row is the costly part; a scan adding thousands of rows scrolls once
    // per pass of the event loop instead of once per row.
    if (!m_scrollPending) {
        m_scrollPending = true;
        QTimer::singleShot(0, this, [this] {
            m_scrollPending = false;
            grdFiles1->scrollTo(grdFiles1->currentIndex());
        });
    }
}

} // namespace tessaly
