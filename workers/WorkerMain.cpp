// tessaly-worker: renders the messages a run sends it, one after another, in a process of its
// own, so that the run can limit, kill and replace it. Started by the administrator, it runs
// as an unprivileged user; it opens no file of the run's: each request brings the message
// file open for reading and a file without a name open for the output, which it parses from
// and writes into. Its private folder holds what its libraries keep. Where the system allows,
// the run starts it in namespaces of its own (forkIntoOwnNamespaces), where that folder lies in
// a /tmp of its own: it may write there and in its own /dev/shm only.
#include "mailconverter/render/MessageScheme.h"
#include "mailconverter/render/PdfMailConverter.h"
#include "support/ChildProcess.h"
#include "support/PathHelpers.h"
#include "support/ProcessEnvironment.h"
#include "workers/WorkerIdentity.h"
#include "workers/WorkerProtocol.h"

#include <QGuiApplication>

#include <cstdio>
#include <iostream>

using namespace tessaly;

namespace {

constexpr int kExitDone = 0;
constexpr int kExitBrokenStream = 2;
constexpr int kExitNoSafeStart = 3;
/// Requests come over standard input, a socket that passes open files along.
constexpr int kStandardInput = 0;

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

    RequestReader requests(kStandardInput);
    for (;;) {
        Result<std::optional<ReceivedRequest>> received = requests.next();
        if (!received) {
            std::cerr << "tessaly-worker: " << received.error().message << '\n';
            return kExitBrokenStream;
        }
        if (!received.value())
            return kExitDone; // the run has finished with this worker
        ReceivedRequest &next = *received.value();
        const WorkerRequest &request = next.request;
        Result<RenderedMessage> rendered =
            converter.render(next.message, request.messageName, request.target, request.options);
        Result<std::string> answer = encodeAnswer(rendered, &next.output);
        // The output file could not take it: the run hears why, for this message alone.
        if (!answer)
            answer = encodeAnswer(answer.error().within("'" + request.messageName + "': "));
        const std::string &frame = answer.value();
        if (std::fwrite(frame.data(), 1, frame.size(), answers) != frame.size() || std::fflush(answers) != 0)
            return kExitBrokenStream;
    }
}
