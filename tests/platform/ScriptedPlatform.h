// A Platform for tests: answers come from queues the test fills, and everything shown is recorded.
#pragma once

#include "platform/Platform.h"

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tessaly {

class ScriptedPlatform : public Platform
{
public:
    struct ShownMessage
    {
        std::string text;
        MessageBoxStyle style;
        /// A report box's details and the folder its button opens; empty for other boxes.
        std::string details = {};
        std::string folder = {};
    };

    // What the next dialogs answer. An empty queue answers "cancel" (No for a message box
    // with Yes and No, OK for the others).
    void queueFolder(std::string folder) { m_folders.push_back(std::move(folder)); }
    void queueFiles(std::vector<std::string> files) { m_fileChoices.push_back(std::move(files)); }
    void queueFileDialogError(DialogError error) { m_fileDialogError = std::move(error); }
    void queueAnswer(MessageBoxAnswer answer) { m_answers.push_back(answer); }
    /// Whether ShellOpen finds a handler (it does by default).
    void setShellOpenSucceeds(bool succeeds) { m_shellOpenSucceeds = succeeds; }

    /// Runs inside every processPendingEvents(), as a user's click would between events.
    void setOnProcessEvents(std::function<void()> action) { m_onProcessEvents = std::move(action); }

    const std::vector<ShownMessage> &messages() const { return m_messages; }
    const std::vector<std::string> &folderBrowserTitles() const { return m_folderTitles; }
    const std::vector<std::string> &fileDialogFilters() const { return m_fileFilters; }
    const std::vector<std::string> &openedTargets() const { return m_opened; }
    bool isWaitCursorShown() const { return m_waitCursor; }
    int waitCursorShowCount() const { return m_waitCursorShows; }

    MessageBoxAnswer showMessageBox(const std::string &text, MessageBoxStyle style) override;
    void showReportBox(const std::string &text, const std::string &details, MessageBoxStyle style,
                       const std::string &folder) override;
    std::string BrowseForFolder(const std::string &title) override;
    std::vector<std::string> chooseFilesToOpen(const std::string &filter) override;
    void processPendingEvents() override;
    void setWaitCursor(bool waiting) override;
    bool ShellOpen(const std::string &target) override;
    void notifyDesktop(const std::string &summary, const std::string &body) override
    {
        m_notifications.push_back(summary + ": " + body);
    }
    void showTaskbarProgress(std::optional<double> fraction) override { m_taskbarProgress.push_back(fraction); }

    /// Every notification, "summary: body".
    const std::vector<std::string> &notifications() const { return m_notifications; }
    const std::vector<std::optional<double>> &taskbarProgress() const { return m_taskbarProgress; }

private:
    std::deque<std::string> m_folders;
    std::deque<std::vector<std::string>> m_fileChoices;
    std::optional<DialogError> m_fileDialogError;
    std::deque<MessageBoxAnswer> m_answers;
    std::function<void()> m_onProcessEvents;

    std::vector<ShownMessage> m_messages;
    std::vector<std::string> m_folderTitles;
    std::vector<std::string> m_fileFilters;
    std::vector<std::string> m_opened;
    std::vector<std::string> m_notifications;
    std::vector<std::optional<double>> m_taskbarProgress;
    bool m_waitCursor = false;
    bool m_shellOpenSucceeds = true;
    int m_waitCursorShows = 0;
};

} // namespace tessaly
