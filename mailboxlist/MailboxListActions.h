// What the list's three buttons do, apart from any window: add by dialog, clear, add a folder.
#pragma once

#include "mailboxlist/MailboxList.h"
#include "mailboxlist/pathLogger.h"

#include <functional>
#include <set>
#include <string>

namespace tessaly {

class Platform;

/// The file dialog's filter: one entry matching both extensions.
inline constexpr const char *kMailboxFileFilter = "MBOX Files (*.mbox *.mbx);;All Files (*)";
/// The largest selection the file dialog reports taking at once.
inline constexpr int kMaxFilesPerSelection = 1000;
/// The dialog's error number for a selection that does not fit its name buffer.
inline constexpr int kSelectionTooLargeError = 20476;

/// Whether the file at `path` may be listed: false only for a file that is surely no mailbox.
/// A file that cannot be read now is listed; the run says why it fails.
using MailboxFileCheck = std::function<bool(const std::string &path)>;

/// The one box that lists the files refused as no mailboxes.
std::string refusedFilesText(const std::vector<std::string> &refused);

class MailboxListActions
{
public:
    /// `setConvertEnabled` switches the control that starts a run.
    MailboxListActions(Platform &platform, MailboxList &list, std::function<void(bool)> setConvertEnabled,
                       FolderLister lister = listFolder);

    /// Adds the files chosen in the open-file dialog, in the dialog's order (a file listed
    /// already, under any path, is not listed again), and enables
    /// Convert. A cancel changes nothing. A dialog error ends in a message box
    /// "number:description" (style 48); rows added before it stay.
    void addFilesFromDialog();

    /// Asks whether to clear a non-empty list and clears it on Yes. Convert is left alone.
    void clearAfterQuestion();

    /// Asks for a folder and adds every mailbox below it, breadth first, under the wait
    /// cursor. Convert is enabled when this scan added a mailbox and left alone otherwise. Ends with
    /// "N Files Added to List." (style 0).
    void addMailboxesFromFolder();

    /// Adds what was dropped on the list: a folder is scanned as addMailboxesFromFolder does,
    /// a file is added as it is. Convert is enabled when anything was added.
    void addDropped(const std::vector<std::string> &paths);

    /// Checks each file as it is added, from the dialog, a drop or a scan; what `check` refuses
    /// is not listed, and one message box (style 48) names every file refused.
    void setMailboxCheck(MailboxFileCheck check) { m_check = std::move(check); }

    /// True while a folder scan walks or adds; the window ends at once if closed meanwhile.
    bool isScanning() const { return m_scanning; }

    /// The folder chosen by the last addMailboxesFromFolder(), "" after a cancel.
    const std::string &sourceFolder() const { return m_sourceFolder; }

private:
    /// Lists the files `check` accepts, in order, each resolved path once; returns those it
    /// refused. `folded` counts the files left out as already listed under another path.
    std::vector<std::string> addChecked(const std::vector<std::string> &files, int &folded);
    /// Lists `file` unless its resolved path is listed already; whether it was listed.
    bool addOnce(const std::string &file, std::set<std::string> &listed);
    /// The resolved paths of the rows listed now.
    std::set<std::string> listedIdentities() const;
    void showRefused(const std::vector<std::string> &refused);
    void scanFolder(const std::string &folder);

    Platform &m_platform;
    MailboxList &m_list;
    std::function<void(bool)> m_setConvertEnabled;
    FolderLister m_lister;
    MailboxFileCheck m_check;
    std::string m_sourceFolder;
    bool m_scanning = false;
};

} // namespace tessaly
