// The Platform over Qt Widgets: real dialogs, message boxes, cursor and event loop.
#pragma once

#include "platform/Platform.h"
#include "platform/ThrottledEventPump.h"

#include <functional>
#include <string>

class QWidget;

namespace tessaly {

/// `text` cut to at most `maxLines` lines (lines end in "\n", "\r\n" included) for a box that
/// must fit the screen: the first lines, a line saying how many more are under Show Details,
/// and the last line. `linesTaken` says how many lines a line takes once wrapped (1 when
/// unset). Text that fits, or a limit under 3, is returned whole.
std::string cutToLines(const std::string &text, int maxLines,
                       const std::function<int(const std::string &)> &linesTaken = {});

class QtPlatform : public Platform
{
public:
    /// Dialogs and message boxes are modal to `owner` (may be null until the window exists).
    explicit QtPlatform(QWidget *owner = nullptr);

    void setOwner(QWidget *owner) { m_owner = owner; }

    MessageBoxAnswer showMessageBox(const std::string &text, MessageBoxStyle style) override;
    void showReportBox(const std::string &text, const std::string &details, MessageBoxStyle style,
                       const std::string &folder) override;
    std::string BrowseForFolder(const std::string &title) override;
    std::vector<std::string> chooseFilesToOpen(const std::string &filter) override;
    void processPendingEvents() override;
    void setWaitCursor(bool waiting) override;
    bool ShellOpen(const std::string &target) override;
    /// Over D-Bus: org.freedesktop.Notifications.
    void notifyDesktop(const std::string &summary, const std::string &body) override;
    /// Over D-Bus: com.canonical.Unity.LauncherEntry, for the entry of tessaly.desktop.
    void showTaskbarProgress(std::optional<double> fraction) override;

private:
    QWidget *m_owner;
    ThrottledEventPump m_pump;
};

} // namespace tessaly
