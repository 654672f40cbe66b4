#include "app/RunLog.h"

#include "app/WindowRunTexts.h"
#include "support/DateTime.h"
#include "support/PendingFile.h"

namespace tessaly {

std::string runLogFileName(std::time_t when)
{
    char stamp[32] = "";
    if (const std::optional<std::tm> local = localTimeFields(when))
        std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H-%M-%S", &*local);
    return std::string("Tessaly report ") + stamp + ".txt";
}

Result<std::string> writeRunLog(const RunReport &report, std::time_t when)
{
    Result<FolderHandle> folder = FolderHandle::open(report.outputFolder);
    if (!folder)
        return folder.error();
    Result<PendingFile> pending = PendingFile::createIn(folder.value());
    if (!pending)
        return pending.error();
    const std::string text = runCountsLine(report) + "\r\n\r\n" + runDetailsText(report);
    if (Result<void> written = pending.value().write(text); !written)
        return written.error();
    Result<std::string> name = pending.value().commitAs(runLogFileName(when));
    if (!name)
        return name.error();
    return folder.value().pathOf(name.value());
}

} // namespace tessaly
