#include "platform/QtPlatform.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QUrl>

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

} // namespace

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
    QMessageBox box(icon, QString::fromLatin1(kApplicationTitle), fromUtf8(text), QMessageBox::Ok, m_owner);
    if (!details.empty())
        box.setDetailedText(fromUtf8(details));
    QPushButton *openFolder =
        folder.empty() ? nullptr : box.addButton(QObject::tr("Open Output Folder"), QMessageBox::ActionRole);
    box.setDefaultButton(QMessageBox::Ok);
    box.exec();
    if (openFolder && box.clickedButton() == openFolder)
        ShellOpen(folder);
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

bool QtPlatform::ShellOpen(const std::string &target)
{
    if (target.empty())
        return false;
    const QString text = fromUtf8(target);
    const QUrl url = QFileInfo::exists(text) ? QUrl::fromLocalFile(text) : QUrl(text);
    return QDesktopServices::openUrl(url);
}

} // namespace tessaly
