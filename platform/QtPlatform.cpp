#include "platform/QtPlatform.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QStandardPaths>
#include <QUrl>

#include <algorithm>
#include <vector>

namespace tessaly {
namespace {

QString fromUtf8(const std::string &text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string toUtf8(const QString &text)
{
    return text.toUtf8().toStdString();
}

// Where the dialogs start, remembered across starts: mailboxes and output apart, so the
// output folder dialog does not open among the mailboxes.
const QString kMailboxFolderKey = QStringLiteral("folders/lastMailboxFolder");
const QString kOutputFolderKey = QStringLiteral("folders/lastOutputFolder");

QString folderKeyFor(const std::string &browseTitle)
{
    return browseTitle == "Choose Folder to Save..." ? kOutputFolderKey : kMailboxFolderKey;
}

/// Height the report box needs beyond its text: title bar, buttons, margins and the details
/// pane when shown, in lines of its font.
constexpr int kReportBoxLinesBesideText = 18;
constexpr int kLeastReportLines = 6;
/// About where a message box's text wraps, in pixels: Qt keeps its label under 500.
constexpr int kReportBoxWrapWidth = 440;

#if defined(Q_OS_LINUX)
/// How long xdg-open may take to hand the target over and say how it went.
constexpr int kXdgOpenAnswerMilliseconds = 3000;

/// True unless xdg-open cannot start or ends with a failure (no handler, a handler that
/// failed). One still running after a while has started the handler in its own place, and is
/// left to end on its own.
bool openWithXdgOpen(const QUrl &url)
{
    auto *process = new QProcess;
    process->start(QStringLiteral("xdg-open"), {url.toString()});
    if (!process->waitForStarted(kXdgOpenAnswerMilliseconds)) {
        delete process;
        return false;
    }
    if (process->waitForFinished(kXdgOpenAnswerMilliseconds)) {
        const bool opened = process->exitStatus() == QProcess::NormalExit && process->exitCode() == 0;
        delete process;
        return opened;
    }
    QObject::connect(process, &QProcess::finished, process, &QObject::deleteLater);
    return true;
}
#endif

} // namespace

std::string cutToLines(const std::string &text, int maxLines, const std::function<int(const std::string &)> &linesTaken)
{
    const auto taken = [&linesTaken](const std::string &line) {
        return linesTaken ? std::max(1, linesTaken(line)) : 1;
    };
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find('\n', start);
        lines.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end + 1 - start));
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    if (lines.back().empty())
        lines.pop_back();
    int total = 0;
    for (const std::string &line : lines)
        total += taken(line);
    if (maxLines < 3 || total <= maxLines)
        return text;
    // The last line holds the counts: it stays, and what is cut is named.
    int room = maxLines - 1 - taken(lines.back());
    std::size_t kept = 0;
    std::string cut;
    for (; kept + 1 < lines.size() && taken(lines[kept]) <= room; ++kept) {
        room -= taken(lines[kept]);
        cut += lines[kept];
    }
    cut += "    ... " + std::to_string(lines.size() - kept - 1) + " more lines under Show Details\r\n";
    return cut + lines.back();
}

QtPlatform::QtPlatform(QWidget *owner)
    : m_owner(owner), m_pump([] { QCoreApplication::processEvents(QEventLoop::AllEvents); })
{
}

MessageBoxAnswer QtPlatform::showMessageBox(const std::string &text, MessageBoxStyle style)
{
    const QString title = QString::fromLatin1(kApplicationTitle);
    const QString message = fromUtf8(text);
    switch (style) {
    case MessageBoxStyle::YesNoQuestion:
        return QMessageBox::question(m_owner, title, message, QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes) ==
                       QMessageBox::Yes
                   ? MessageBoxAnswer::Yes
                   : MessageBoxAnswer::No;
    case MessageBoxStyle::Exclamation:
        QMessageBox::warning(m_owner, title, message);
        break;
    case MessageBoxStyle::Information:
        QMessageBox::information(m_owner, title, message);
        break;
    case MessageBoxStyle::Plain: {
        QMessageBox box(QMessageBox::NoIcon, title, message, QMessageBox::Ok, m_owner);
        box.exec();
        break;
    }
    }
    return MessageBoxAnswer::Ok;
}

void QtPlatform::showReportBox(const std::string &text, const std::string &details, MessageBoxStyle style,
                               const std::string &folder)
{
    const QMessageBox::Icon icon = style == MessageBoxStyle::Exclamation   ? QMessageBox::Warning
                                   : style == MessageBoxStyle::Information ? QMessageBox::Information
                                                                           : QMessageBox::NoIcon;
    // The box never grows past the screen, so its buttons stay in reach: a long summary is cut
    // and the details, which scroll, hold everything.
    const QScreen *screen = m_owner ? m_owner->screen() : QGuiApplication::primaryScreen();
    const QFontMetrics metrics(QApplication::font("QMessageBox"));
    const int lineHeight = std::max(1, metrics.lineSpacing());
    const int maxLines =
        screen
            ? std::max(kLeastReportLines, screen->availableGeometry().height() / lineHeight - kReportBoxLinesBesideText)
            : kLeastReportLines;
    // A long line wraps onto several.
    const auto linesTaken = [&metrics](const std::string &line) {
        return metrics.horizontalAdvance(fromUtf8(line)) / kReportBoxWrapWidth + 1;
    };
    QMessageBox box(icon, QString::fromLatin1(kApplicationTitle), fromUtf8(cutToLines(text, maxLines, linesTaken)),
                    QMessageBox::Ok, m_owner);
    if (!details.empty())
        box.setDetailedText(fromUtf8(details));
    QPushButton *openFolder =
        folder.empty() ? nullptr : box.addButton(QObject::tr("Open Output Folder"), QMessageBox::ActionRole);
    box.setDefaultButton(QMessageBox::Ok);
    box.exec();
    if (openFolder && box.clickedButton() == openFolder && !ShellOpen(folder))
        showMessageBox("The output folder could not be opened. It is " + folder, MessageBoxStyle::Information);
}

std::string QtPlatform::BrowseForFolder(const std::string &title)
{
    QSettings settings;
    const QString key = folderKeyFor(title);
    const QString folder = QFileDialog::getExistingDirectory(m_owner, fromUtf8(title), settings.value(key).toString());
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        return {};
    settings.setValue(key, folder);
    return toUtf8(QDir::toNativeSeparators(folder));
}

std::vector<std::string> QtPlatform::chooseFilesToOpen(const std::string &filter)
{
    QSettings settings;
    const QStringList files = QFileDialog::getOpenFileNames(
        m_owner, QString(), settings.value(kMailboxFolderKey).toString(), fromUtf8(filter));
    if (!files.isEmpty())
        settings.setValue(kMailboxFolderKey, QFileInfo(files.front()).absolutePath());
    std::vector<std::string> paths;
    paths.reserve(static_cast<std::size_t>(files.size()));
    for (const QString &file : files)
        paths.push_back(toUtf8(QDir::toNativeSeparators(file)));
    return paths;
}

void QtPlatform::processPendingEvents()
{
    m_pump.pump();
}

void QtPlatform::setWaitCursor(bool waiting)
{
    if (waiting)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

void QtPlatform::notifyDesktop(const std::string &summary, const std::string &body)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    QDBusMessage notify = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    constexpr int kServerDefaultTimeout = -1;
    notify << QString::fromLatin1(kApplicationTitle) << 0u << QStringLiteral("tessaly") << fromUtf8(summary)
           << fromUtf8(body) << QStringList() << QVariantMap() << kServerDefaultTimeout;
    // Sent without waiting for the answer: a desktop without a notification server has none.
    bus.send(notify);
}

void QtPlatform::showTaskbarProgress(std::optional<double> fraction)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    QDBusMessage update =
        QDBusMessage::createSignal(QStringLiteral("/com/canonical/unity/launcherentry/tessaly"),
                                   QStringLiteral("com.canonical.Unity.LauncherEntry"), QStringLiteral("Update"));
    QVariantMap properties;
    properties.insert(QStringLiteral("progress-visible"), fraction.has_value());
    properties.insert(QStringLiteral("progress"), std::clamp(fraction.value_or(0.0), 0.0, 1.0));
    update << QStringLiteral("application://tessaly.desktop") << properties;
    bus.send(update);
}

bool QtPlatform::ShellOpen(const std::string &target)
{
    if (target.empty())
        return false;
    const QString text = fromUtf8(target);
    const QUrl url = QFileInfo::exists(text) ? QUrl::fromLocalFile(text) : QUrl(text);
#if defined(Q_OS_LINUX)
    // xdg-open is there when the desktop is; QDesktopServices would call it too, but say
    // nothing of a handler that is missing or fails.
    if (!QStandardPaths::findExecutable(QStringLiteral("xdg-open")).isEmpty())
        return openWithXdgOpen(url);
#endif
    return QDesktopServices::openUrl(url);
}

} // namespace tessaly
