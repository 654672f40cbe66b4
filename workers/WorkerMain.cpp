// tessaly-worker: renders the messages a run sends it, one after another, in a process of its
// own, so that the run can limit, kill and replace it. Started by the administrator, it runs
// as an unprivileged user; it reads and writes no file of the run's, only its private folder.
// Where the system allows, the run starts it in namespaces of its own (forkIntoOwnNamespaces),
// where that folder lies in a /tmp of its own: it may write there and in its own /dev/shm only.
#include "mailconverter/render/MessageScheme.h"
#include "mailconverter/render/PdfMailConverter.h"
#include "support/ChildProcess.h"
#include "support/PathHelpers.h"
#include "support/ProcessEnvironment.h"
#include "workers/WorkerIdentity.h"
#include "workers/WorkerProtocol.h"

#include <QGuiApplication>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>

using namespace tessaly;

namespace {

constexpr int kExitDone = 0;
constexpr int kExitBrokenStream = 2;
constexpr int kExitNoSafeStart = 3;

/// A worker shows nothing and needs no display or GPU.
void prepareWorkerEnvironment()
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    setEnvironmentVariableIfUnset("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu");
    if (!mayUseSharedMemoryFolder()) {
        // Chromium aborts at start when it cannot make its shared memory files.
        QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
        flags += " --disable-dev-shm-usage";
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags);
    }
    prepareMailConverterApplication();
}

/// Renders one request's message from a copy in `folder`, which the converter reads as its file.
Result<RenderedMessage> render(PdfMailConverter &converter, const WorkerRequest &request, const std::string &folder)
{
    const std::string copy = joinPath(folder, "message.eml");
    {
        std::ofstream file(toFsPath(copy), std::ios::binary | std::ios::trunc);
        file.write(request.messageBytes.data(), static_cast<std::streamsize>(request.messageBytes.size()));
        if (!file.flush())
            return Error{"cannot keep a copy of the message in '" + folder + "'"};
    }
    Result<RenderedMessage> rendered = converter.render(copy, request.messageName, request.target, request.options);
    std::error_code ignored; // the next message's copy replaces it
    std::filesystem::remove(toFsPath(copy), ignored);
    return rendered;
}

} // namespace

int main(int argc, char *argv[])
{
    // First of all, before any message arrives.
    if (Result<void> dropped = dropAdministratorRights(); !dropped) {
        std::cerr << "tessaly-worker: " << dropped.error().message << '\n';
        return kExitNoSafeStart;
    }
    // After the drop, which clears the notice.
    endWithParent();
    Result<PrivateFolder> folder = PrivateFolder::create();
    if (!folder) {
        std::cerr << "tessaly-worker: " << folder.error().message << '\n';
        return kExitNoSafeStart;
    }
    folder.value().makeHome();
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
    const QString pagesPrefix = QLatin1String(kWorkerMessagePagesArgument) + QLatin1Char('=');
    for (const QString &argument : QCoreApplication::arguments()) {
        bool isNumber = false;
        const int pages = argument.startsWith(pagesPrefix) ? argument.mid(pagesPrefix.size()).toInt(&isNumber) : 0;
        if (isNumber && pages > 0)
            converter.setMessagePages(pages);
    }

    for (;;) {
        Result<std::optional<std::string>> frame = readFrame(stdin);
        if (!frame) {
            std::cerr << "tessaly-worker: " << frame.error().message << '\n';
            return kExitBrokenStream;
        }
        if (!frame.value())
            return kExitDone; // the run has finished with this worker
        Result<WorkerRequest> request = decodeRequest(*frame.value());
        frame.value().reset();
        if (!request) {
            std::cerr << "tessaly-worker: " << request.error().message << '\n';
            return kExitBrokenStream;
        }
        const std::string answer = encodeAnswer(render(converter, request.value(), folder.value().path()));
        if (std::fwrite(answer.data(), 1, answer.size(), answers) != answer.size() || std::fflush(answers) != 0)
            return kExitBrokenStream;
    }
}
