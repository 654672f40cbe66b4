#include "app/WindowRun.h"

#include "app/RunLog.h"
#include "app/RunTexts.h"
#include "support/PathHelpers.h"
#include "support/TextHelpers.h"

#include <algorithm>
#include <ctime>

namespace tessaly {
namespace {

constexpr const char *kFolderBrowserTitle = "Choose Folder to Save...";

bool listHoldsAMailbox(const std::vector<std::string> &mailboxes)
{
    return std::any_of(mailboxes.begin(), mailboxes.end(),
                       [](const std::string &mailbox) { return !trimBlanks(mailbox).empty(); });
}

} // namespace

std::optional<RunReport> runWithOutputFolderChoice(Platform &platform, const std::vector<std::string> &mailboxes,
                                                   const std::function<void()> &disableConvert,
                                                   const ConvertIntoFolder &convert)
{
    if (!listHoldsAMailbox(mailboxes)) {
        platform.showMessageBox(nothingToConvertText(), MessageBoxStyle::Exclamation);
        return std::nullopt;
    }
    std::string outputFolder = platform.BrowseForFolder(kFolderBrowserTitle);
    if (outputFolder.empty())
        return std::nullopt;
    outputFolder = withTrailingSeparator(std::move(outputFolder));

    platform.processPendingEvents();
    disableConvert();
    platform.processPendingEvents();

    RunReport report = convert(outputFolder);
    std::string details = runDetailsText(report);
    if (Result<std::string> log = writeRunLog(report, std::time(nullptr)); log)
        details += "The report is saved as " + log.value() + "\r\n";
    else
        details += "The report could not be saved: " + log.error().message + "\r\n";
    platform.showReportBox(runEndText(report), details,
                           report.allSucceeded() ? MessageBoxStyle::Information : MessageBoxStyle::Exclamation,
                           report.outputFolder);
    return report;
}

} // namespace tessaly
