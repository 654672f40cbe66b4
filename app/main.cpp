// Starts Tessaly: the application object and its one window.
#include "GMimeMessageReader.h"
#include "MessageScheme.h"
#include "PdfMailConverter.h"
#include "QtPlatform.h"
#include "UserManual.h"
#include "frmStep1.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    // The web engine's scheme must be known before the application object exists.
    tessaly::registerMailConverterUrlScheme();

    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tessaly"));
    QApplication::setApplicationDisplayName(QStringLiteral("Tessaly"));
    QApplication::setApplicationVersion(QStringLiteral(TESSALY_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("tessaly"));

    tessaly::QtPlatform platform;
    tessaly::frmStep1 window(platform, tessaly::pdfMailConverterFactory(), tessaly::gmimeMessageReaderFactory());
    platform.setOwner(&window);
    window.setUserManual(
        tessaly::findUserManual(tessaly::userManualCandidates(QApplication::applicationDirPath())).toStdString());
    window.showCentred();
    return QApplication::exec();
}
