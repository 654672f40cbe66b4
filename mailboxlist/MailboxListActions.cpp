#include "mailboxlist/MailboxListActions.h"

#include "mailboxlist/FolderScan.h"
#include "platform/Platform.h"
#include "support/PathHelpers.h"
#include "support/ScopedFlag.h"

#include <exception>
#include <filesystem>
#include <system_error>

namespace tessaly {

MailboxListActions::MailboxListActions(Platform &platform, MailboxList &list,
                                       std::function<void(bool)> setConvertEnabled, FolderLister lister)
    : m_platform(platform), m_list(list), m_setConvertEnabled(std::move(setConvertEnabled)), m_lister(std::move(lister))
{
}

void MailboxListActions::addFilesFromDialog()
{
    // Catches everything: this runs from a button's click, and no exception may reach the
    // event loop.
    try {
        const std::vector<std::string> files = m_platform.chooseFilesToOpen(kMailboxFileFilter);
        if (files.empty())
            return;
        m_setConvertEnabled(true);
        for (const std::string &file : files)
            m_list.AddFileToList(file);
    } catch (const DialogError &error) {
        const std::string text =
            error.number == kSelectionTooLargeError
                ? "Please select only " + std::to_string(kMaxFilesPerSelection) + " files at a time"
                : std::to_string(error.number) + ":" + error.description;
        m_platform.showMessageBox(text, MessageBoxStyle::Exclamation);
    } catch (const std::exception &error) {
        m_platform.showMessageBox(std::string("0:") + error.what(), MessageBoxStyle::Exclamation);
    }
}

void MailboxListActions::clearAfterQuestion()
{
    m_list.setCurrentRow(0);
    if (m_list.rowText(0).empty())
        return;
    const MessageBoxAnswer answer = m_platform.showMessageBox(
        "Do you want to clear all the files in the list\n Proceed?", MessageBoxStyle::YesNoQuestion);
    if (answer == MessageBoxAnswer::Yes)
        m_list.ClearFileList();
}

void MailboxListActions::addMailboxesFromFolder()
{
    m_sourceFolder = m_platform.BrowseForFolder("Choose Source Folder...");
    if (m_sourceFolder.empty())
        return;
    m_sourceFolder = withTrailingSeparator(m_sourceFolder);
    scanFolder(m_sourceFolder);
}

void MailboxListActions::addDropped(const std::vector<std::string> &paths)
{
    for (const std::string &path : paths) {
        std::error_code error;
        if (std::filesystem::is_directory(toFsPath(path), error)) {
            scanFolder(withTrailingSeparator(path));
        } else {
            m_list.AddFileToList(path);
            m_setConvertEnabled(true);
        }
    }
}

void MailboxListActions::scanFolder(const std::string &folder)
{
    ScopedFlag scanning(m_scanning);
    int added = 0;
    int unreadableFolders = 0;
    {
        WaitCursor waitCursor(m_platform);
        pathLogger walker(m_lister);
        walker.PathLogInit();
        walker.setFullFileNamesOnly(true);
        walker.LogPath(folder);
        unreadableFolders = walker.unreadableFolderCount();
        const std::vector<std::string> folders = walker.pathNames();
        const std::vector<std::string> paths = walker.fullFileNames();
        walker.Terminate();

        // Events are handled while files are looked into, so that the window stays live.
        const std::vector<std::string> mailboxes = mailSourcesAmong(folders, paths, [this](const std::string &path) {
            m_platform.processPendingEvents();
            return readFileStart(path);
        });
        for (const std::string &path : mailboxes) {
            m_platform.processPendingEvents();
            m_list.AddFileToList(path);
            ++added;
        }
    }
    // A scan that adds nothing leaves Convert as it was: the rows listed before still count.
    if (added > 0)
        m_setConvertEnabled(true);
    m_platform.showMessageBox(folderScanMessage(added, unreadableFolders), MessageBoxStyle::Plain);
}

} // namespace tessaly
