// tessaly-worker: converts the messages a run sends it, one after another, in a process of
// its own, so that the run can limit, kill and replace it.
#include "ChildProcess.h"
#include "mailconverter/render/MessageScheme.h"
#include "mailconverter/render/PdfMailConverter.h"
#include "ProcessEnvironment.h"
#include "WorkerProtocol.h"

#include <QGuiApplication>

#include <cstdio>
#include <iostream>

using namespace tessaly;

namespace {

constexpr int kExitDone = 0;
constexpr int kExitBrokenStream = 2;

/// A worker shows nothing and needs no display or GPU. Chromium refuses its sandbox as
/// root, so only then does it run without.
void prepareWorkerEnvironment()
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    setEnvironmentVariableIfUnset("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu");
    if (isRunningAsAdministrator())
        setEnvironmentVariableIfUnset("QTWEBENGINE_DISABLE_SANDBOX", "1");
    prepareMailConverterApplication();
}

} // namespace

int main(int argc, char *argv[])
{
    // A run that is killed must not leave its worker rendering on.
    endWithParent();
    // Anything a library prints to standard output would corrupt the answers.
    std::FILE *answers = reserveStandardOutput();
    if (!answers) {
        std::cerr << "tessaly-worker: cannot set up its answer stream\n";
        return kExitBrokenStream;
    }
    prepareWorkerEnvironment();
    QGuiApplication application(argc, argv);
    PdfMailConverter converter;
    converter.setEmbedsSource(QCoreApplication::arguments().contains(QLatin1String(kWorkerEmbedSourceArgument)));

    for (;;) {
        Result<std::optional<std::string>> frame = readFrame(stdin);
        if (!frame) {
            std::cerr << "tessaly-worker: " << frame.error().message << '\n';
            return kExitBrokenStream;
        }
        if (!frame.value())
            return kExitDone; // the run has finished with this worker
        Result<WorkerRequest> request = decodeRequest(*frame.value());
        if (!request) {
            std::cerr << "tessaly-worker: " << request.error().message << '\n';
            return kExitBrokenStream;
        }
        const std::string answer = encodeAnswer(
            converter.Convert(request.value().source, request.value().destination, request.value().options));
        if (std::fwrite(answer.data(), 1, answer.size(), answers) != answer.size() || std::fflush(answers) != 0)
            return kExitBrokenStream;
    }
}
