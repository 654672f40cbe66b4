// Starts Tessaly: the application object and its one window.
#include "GMimeMessageReader.h"
#include "MessageScheme.h"
#include "PdfMailConverter.h"
#include "ProcessEnvironment.h"
#include "QtPlatform.h"
#include "UserManual.h"
#include "frmStep1.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    // Chromium ends the whole process when asked to sandbox itself as root, so as root the
    // web engine runs without its sandbox.
    if (tessaly::isRunningAsAdministrator())
        tessaly::setEnvironmentVariableIfUnset("QTWEBENGINE_DISABLE_SANDBOX", "1");
    // The web engine's scheme must be known before the application object exists.
    tessaly::prepareMailConverterApplication();

    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tessaly"));
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
