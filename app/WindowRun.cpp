#include "app/WindowRun.h"

#include "app/RunLog.h"
#include "app/WindowRunTexts.h"
#include "support/PathHelpers.h"
#include "support/TextHelpers.h"

#include <QDir>
#include <QTemporaryFile>

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

Result<void> checkOutputFolder(const std::string &folder)
{
    const QString path = QString::fromUtf8(folder.data(), static_cast<qsizetype>(folder.size()));
    // Removed again when it goes out of scope.
    QTemporaryFile probe(QDir(path).filePath(QStringLiteral(".tessaly-write-check-XXXXXX")));
    if (!probe.open())
        return Error{"cannot write in " + folder + ": " + probe.errorString().toStdString(), FailureKind::NotPermitted};
    return {};
}

std::optional<RunReport> runWithOutputFolderChoice(Platform &platform, const std::vector<std::string> &mailboxes,
                                                   const std::function<void()> &runStarts,
                                                   const ConvertIntoFolder &convert,
                                                   const std::function<bool()> &exiting)
{
    if (!listHoldsAMailbox(mailboxes)) {
        platform.showMessageBox(nothingToConvertText(), MessageBoxStyle::Exclamation);
        return std::nullopt;
    }
    std::string outputFolder;
    for (;;) {
        outputFolder = platform.BrowseForFolder(kFolderBrowserTitle);
        if (outputFolder.empty())
            return std::nullopt;
        const Result<void> writable = checkOutputFolder(outputFolder);
        if (writable)
            break;
        platform.showMessageBox("Tessaly " + writable.error().message + ".\n\nChoose another folder.",
                                MessageBoxStyle::Exclamation);
    }
    outputFolder = withTrailingSeparator(std::move(outputFolder));

    platform.processPendingEvents();
    runStarts();
    platform.processPendingEvents();

    RunReport report = convert(outputFolder);
    std::string text = runEndText(report);
    std::string details = runDetailsText(report);
    if (Result<std::string> log = writeRunLog(report, std::time(nullptr)); log) {
        details += "The report is saved as " + log.value() + "\r\n";
    } else {
        // On a full disk this is the likely end: the box is then the only report. The counts
        // line stays last.
        const std::size_t countsLine = text.rfind("\r\n");
        text.insert(countsLine == std::string::npos ? 0 : countsLine + 2,
                    "The report file could not be saved: " + log.error().message + "\r\n\r\n");
        details += "The report could not be saved: " + log.error().message + "\r\n";
    }
    if (exiting && exiting())
        return report;
    const bool nothingFailed = report.failedMessages.empty() && report.failedMailboxes.empty();
    platform.showReportBox(text, details, nothingFailed ? MessageBoxStyle::Information : MessageBoxStyle::Exclamation,
                           report.outputFolder);
    return report;
}

} // namespace tessaly
