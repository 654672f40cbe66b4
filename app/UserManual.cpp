#include "app/UserManual.h"

#include <QDir>
#include <QFileInfo>

namespace tessaly {

QStringList userManualCandidates(const QString &applicationDir)
{
    const QDir dir(applicationDir);
    return {
        QDir::cleanPath(dir.filePath(QStringLiteral(TESSALY_RELATIVE_MANUAL_PATH))),
        QDir::cleanPath(dir.filePath(QStringLiteral("manual.html"))),
        QStringLiteral(TESSALY_SOURCE_MANUAL_PATH),
    };
}

QString findUserManual(const QStringList &candidates)
{
    for (const QString &candidate : candidates) {
        if (QFileInfo(candidate).isFile())
            return QDir::toNativeSeparators(candidate);
    }
    return {};
}

std::string manualNotOpenedText(const std::string &manualPath)
{
    if (manualPath.empty())
        return "The manual (manual.html) was not found beside the program.";
    return "The manual could not be opened in a web browser. Open this file yourself:\n" + manualPath;
}

} // namespace tessaly
