#include "mailboxlist/MailboxListActions.h"

#include "mailboxlist/FolderScan.h"
#include "platform/Platform.h"
#include "support/PathHelpers.h"
#include "support/ScopedFlag.h"

#include <exception>
#include <filesystem>
#include <system_error>

namespace tessaly {

namespace {

/// What makes two rows the same file: its absolute path with links resolved.
std::string resolvedPath(const std::string &path)
{
    std::error_code error;
    std::filesystem::path resolved = std::filesystem::weakly_canonical(toFsPath(path), error);
    if (error)
        resolved = std::filesystem::absolute(toFsPath(path), error).lexically_normal();
    return fromFsPath(resolved);
}

std::string foldedText(int folded)
{
    // Under its own path or another, such as a link's.
    return folded == 1 ? "\n1 file was listed already and was not added again."
                       : "\n" + std::to_string(folded) + " files were listed already and were not added again.";
}

} // namespace

std::string refusedFilesText(const std::vector<std::string> &refused)
{
    std::string text = refused.size() == 1 ? "This file is not a mailbox and was not added:\n"
                                           : "These files are not mailboxes and were not added:\n";
    for (const std::string &path : refused)
        text += "\n" + path;
    return text;
}

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
        int folded = 0;
        const std::vector<std::string> refused = addChecked(files, folded);
        if (refused.size() < files.size())
            m_setConvertEnabled(true);
        showRefused(refused);
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
    std::vector<std::string> refused;
    int folded = 0;
    for (const std::string &path : paths) {
        std::error_code error;
        if (std::filesystem::is_directory(toFsPath(path), error)) {
            scanFolder(withTrailingSeparator(path));
            continue;
        }
        if (addChecked({path}, folded).empty())
            m_setConvertEnabled(true);
        else
            refused.push_back(path);
    }
    showRefused(refused);
}

std::set<std::string> MailboxListActions::listedIdentities() const
{
    std::set<std::string> listed;
    for (const std::string &row : m_list.rows()) {
        if (!row.empty())
            listed.insert(resolvedPath(row));
    }
    return listed;
}

bool MailboxListActions::addOnce(const std::string &file, std::set<std::string> &listed)
{
    if (!listed.insert(resolvedPath(file)).second)
        return false;
    m_list.AddFileToList(file);
    return true;
}

std::vector<std::string> MailboxListActions::addChecked(const std::vector<std::string> &files, int &folded)
{
    std::set<std::string> listed = listedIdentities();
    std::vector<std::string> refused;
    for (const std::string &file : files) {
        if (m_check && !m_check(file)) {
            refused.push_back(file);
            continue;
        }
        if (!addOnce(file, listed))
            ++folded;
    }
    return refused;
}

void MailboxListActions::showRefused(const std::vector<std::string> &refused)
{
    if (!refused.empty())
        m_platform.showMessageBox(refusedFilesText(refused), MessageBoxStyle::Exclamation);
}

void MailboxListActions::scanFolder(const std::string &folder)
{
    ScopedFlag scanning(m_scanning);
    int added = 0;
    int unreadableFolders = 0;
    std::vector<std::string> refused;
    int folded = 0;
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
        std::set<std::string> listed = listedIdentities();

        // Events are handled while files are looked into, so that the window stays live.
        const std::vector<std::string> mailboxes = mailSourcesAmong(folders, paths, [this](const std::string &path) {
            m_platform.processPendingEvents();
            return readFileStart(path);
        });
        for (const std::string &path : mailboxes) {
            m_platform.processPendingEvents();
            if (m_check && !m_check(path)) {
                refused.push_back(path);
                continue;
            }
            if (!addOnce(path, listed)) {
                ++folded;
                continue;
            }
            ++added;
        }
    }
    // A scan that adds nothing leaves Convert as it was: the rows listed before still count.
    if (added > 0)
        m_setConvertEnabled(true);
    m_platform.showMessageBox(folderScanMessage(added, unreadableFolders) + (folded > 0 ? foldedText(folded) : ""),
                              MessageBoxStyle::Plain);
    showRefused(refused);
}

} // namespace tessaly
