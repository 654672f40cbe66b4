// A Platform with no window: for the command line, where nobody answers dialogs.
#pragma once

#include "Platform.h"

namespace tessaly {

/// Dialogs answer "cancelled", message boxes their default, and there are no window events
/// to pump. A command-line run passes everything it needs as arguments instead.
class HeadlessPlatform : public Platform
{
public:
    MessageBoxAnswer showMessageBox(const std::string &, MessageBoxStyle style) override
    {
        return style == MessageBoxStyle::YesNoQuestion ? MessageBoxAnswer::No : MessageBoxAnswer::Ok;
    }
    std::string BrowseForFolder(const std::string &) override { return {}; }
    std::vector<std::string> chooseFilesToOpen(const std::string &) override { return {}; }
    void processPendingEvents() override {}
    void setWaitCursor(bool) override {}
    bool ShellOpen(const std::string &) override { return false; }
};

} // namespace tessaly
