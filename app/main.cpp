// Starts Tessaly: the application object and its one window.
#include "app/ArchiveOptions.h"
#include "app/frmStep1.h"
#include "app/UserManual.h"
#include "mailconverter/bundle/QpdfBundleAssembler.h"
#include "mailconverter/mime/GMimeMessageReader.h"
#include "platform/QtPlatform.h"
#include "support/ChildProcess.h"
#include "workers/IsolatedMailConverter.h"

#include <QApplication>

#include <iostream>
#include <memory>
#include <string_view>
#include <utility>

int main(int argc, char *argv[])
{
    // Answered before the application object exists, so that it needs no display.
    for (int i = 1; i < argc; ++i) {
        if (std::string_view(argv[i]) == "--version") {
            std::cout << "tessaly " TESSALY_VERSION "\n";
            return 0;
        }
    }
    QApplication application(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Tessaly"));
    QApplication::setApplicationName(QStringLiteral("Tessaly"));
    QApplication::setApplicationVersion(QStringLiteral(TESSALY_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("tessaly"));

    tessaly::QtPlatform platform;
    // Messages are converted in worker processes; the window stays painted while one works.
    // Each run starts its workers with the options chosen in the window at that time.
    tessaly::ConcurrentMailConverterFactory makeConverter = [&platform]() {
        tessaly::WorkerSettings settings;
        settings.embedSource = tessaly::embedSourceChosen();
        return tessaly::isolatedMailConverterFactory(tessaly::workerCommand(tessaly::runningProgramFolder(), settings),
                                                     tessaly::WorkerLimits{}, tessaly::defaultWorkerCount(),
                                                     [&platform] { platform.processPendingEvents(); })();
    };
    tessaly::frmStep1 window(platform, std::move(makeConverter), tessaly::gmimeMessageReaderFactory());
    platform.setOwner(&window);
    window.setBundleAssembler(
        [] { return std::unique_ptr<tessaly::BundleAssembler>(std::make_unique<tessaly::QpdfBundleAssembler>()); });
    window.setUserManual(
        tessaly::findUserManual(tessaly::userManualCandidates(QApplication::applicationDirPath())).toStdString());
    window.showCentred();
    return QApplication::exec();
}
