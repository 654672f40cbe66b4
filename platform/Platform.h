// The window-system services the rest of the program calls: dialogs, message boxes, the
// event pump, the wait cursor and the shell.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tessaly {

/// The application title that heads every message box.
inline constexpr const char *kApplicationTitle = "Tessaly";

/// Message-box styles, by their classic numbers.
enum class MessageBoxStyle : int
{
    Plain = 0,          ///< OK, no icon
    YesNoQuestion = 36, ///< Yes and No, question icon, Yes the default
    Exclamation = 48,   ///< OK, exclamation icon
    Information = 64,   ///< OK, information icon
};

/// The button that closed a message box, by its classic number.
enum class MessageBoxAnswer : int
{
    Ok = 1,
    Yes = 6,
    No = 7
};

/// Raised by a dialog that fails; carries a number and a description for the user.
struct DialogError
{
    int number = 0;
    std::string description;
};

class Platform
{
public:
    virtual ~Platform() = default;

    /// Shows a modal message box titled "Tessaly" and returns the button pressed.
    virtual MessageBoxAnswer showMessageBox(const std::string &text, MessageBoxStyle style) = 0;

    /// The box that ends a run: `text` with the full `details` behind the box's details
    /// button, and a button that opens `folder`. Without a richer box, shows `text` alone.
    virtual void showReportBox(const std::string &text, const std::string &details, MessageBoxStyle style,
                               const std::string &folder)
    {
        (void)details;
        (void)folder;
        showMessageBox(text, style);
    }

    /// Lets the user pick a folder; `title` is shown above the tree. Returns the folder's
    /// path, or "" when the user cancels or anything fails.
    virtual std::string BrowseForFolder(const std::string &title) = 0;

    /// A multi-selection open-file dialog with Qt name filters ("MBOX Files (*.mbox *.mbx);;All Files (*)").
    /// Returns the chosen paths in the dialog's order; empty when cancelled.
    /// May throw DialogError.
    virtual std::vector<std::string> chooseFilesToOpen(const std::string &filter) = 0;

    /// Lets the window handle pending events. Cheap to call very often: it does real work
    /// only when some milliseconds have passed since it last did.
    virtual void processPendingEvents() = 0;

    /// Shows or clears the application-wide wait cursor. Prefer WaitCursor.
    virtual void setWaitCursor(bool waiting) = 0;

    /// A desktop notification: `summary` with `body` below it. Skipped quietly where the
    /// desktop has none.
    virtual void notifyDesktop(const std::string &summary, const std::string &body)
    {
        (void)summary;
        (void)body;
    }

    /// Shows how far a run has come (0 to 1) on the program's taskbar entry, or hides it
    /// (nullopt). Skipped quietly where the desktop cannot show it.
    virtual void showTaskbarProgress(std::optional<double> fraction) { (void)fraction; }

    /// Opens a document or address with its default handler. Returns false when nothing
    /// could take it ("" included), so the caller can say where the document is instead.
    virtual bool ShellOpen(const std::string &target) = 0;
};

/// Shows the wait cursor for its lifetime, so every way out restores the pointer.
class WaitCursor
{
public:
    explicit WaitCursor(Platform &platform) : m_platform(platform) { m_platform.setWaitCursor(true); }
    ~WaitCursor() { m_platform.setWaitCursor(false); }
    WaitCursor(const WaitCursor &) = delete;
    WaitCursor &operator=(const WaitCursor &) = delete;

private:
    Platform &m_platform;
};

} // namespace tessaly
