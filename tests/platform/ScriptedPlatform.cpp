#include "tests/platform/ScriptedPlatform.h"

namespace tessaly {

MessageBoxAnswer ScriptedPlatform::showMessageBox(const std::string &text, MessageBoxStyle style)
{
    m_messages.push_back({text, style});
    if (!m_answers.empty()) {
        const MessageBoxAnswer answer = m_answers.front();
        m_answers.pop_front();
        return answer;
    }
    return style == MessageBoxStyle::YesNoQuestion ? MessageBoxAnswer::No : MessageBoxAnswer::Ok;
}

void ScriptedPlatform::showReportBox(const std::string &text, const std::string &details, MessageBoxStyle style,
                                     const std::string &folder)
{
    m_messages.push_back({text, style, details, folder});
}

std::string ScriptedPlatform::BrowseForFolder(const std::string &title)
{
    m_folderTitles.push_back(title);
    if (m_folders.empty())
        return {};
    std::string folder = std::move(m_folders.front());
    m_folders.pop_front();
    return folder;
}

std::vector<std::string> ScriptedPlatform::chooseFilesToOpen(const std::string &filter)
{
    m_fileFilters.push_back(filter);
    if (m_fileDialogError) {
        DialogError error = std::move(*m_fileDialogError);
        m_fileDialogError.reset();
        throw error;
    }
    if (m_fileChoices.empty())
        return {};
    std::vector<std::string> files = std::move(m_fileChoices.front());
    m_fileChoices.pop_front();
    return files;
}

void ScriptedPlatform::processPendingEvents()
{
    if (m_onProcessEvents)
        m_onProcessEvents();
}

void ScriptedPlatform::setWaitCursor(bool waiting)
{
    m_waitCursor = waiting;
    if (waiting)
        ++m_waitCursorShows;
}

bool ScriptedPlatform::ShellOpen(const std::string &target)
{
    if (target.empty())
        return false;
    m_opened.push_back(target);
    return m_shellOpenSucceeds;
}

} // namespace tessaly
