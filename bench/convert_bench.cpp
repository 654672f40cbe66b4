// Measures the converter on a generated corpus: in this process, then as a run converts, in
// worker processes, with one worker and with one per core; and the same pages through
// wkhtmltopdf and chromium, one process per message. Prints figures; judges nothing.
#include "mailconverter/html/HtmlComposer.h"
#include "mailconverter/mime/MailMessage.h"
#include "mailconverter/render/MessageScheme.h"
#include "mailconverter/render/PdfMailConverter.h"
#include "support/ChildProcess.h"
#include "workers/IsolatedMailConverter.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>

#include <sys/resource.h>

#include <cstdio>
#include <map>

using namespace tessaly;

namespace {

constexpr int kDefaultPeerMessages = 20;
constexpr int kPeerTimeoutMs = 120000;

bool isPlainKind(const QString &name)
{
    return name.startsWith(QLatin1String("plain")) || name.startsWith(QLatin1String("intlplain"));
}

/// Peak resident size in MB of every process below `root` (the WebEngine helpers), from /proc.
struct HelperMemory
{
    int processes = 0;
    double sumOfPeaksMb = 0;
    double largestPeakMb = 0;
};

qint64 parentOf(const QString &pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray text = stat.readAll();
    // "pid (comm) state ppid …"; comm may hold spaces, so read after the last ')'.
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    return fields.size() > 1 ? fields[1].toLongLong() : -1;
}

double peakResidentMb(const QString &pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    }
    return 0;
}

HelperMemory helperMemory(qint64 root)
{
    std::map<qint64, qint64> parents;
    for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool isPid = false;
        const qint64 pid = entry.toLongLong(&isPid);
        if (isPid)
            parents[pid] = parentOf(entry);
    }
    HelperMemory memory;
    for (const auto &[pid, parent] : parents) {
        qint64 ancestor = parent;
        while (ancestor > 1 && ancestor != root)
            ancestor = parents.count(ancestor) ? parents[ancestor] : -1;
        if (ancestor != root)
            continue;
        const double peak = peakResidentMb(QString::number(pid));
        ++memory.processes;
        memory.sumOfPeaksMb += peak;
        memory.largestPeakMb = std::max(memory.largestPeakMb, peak);
    }
    return memory;
}

/// CPU time this process has used, user and system, in ms.
double ownCpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000.0 +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000.0;
}

double ownPeakResidentMb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

/// The page as our composer makes it, with inline parts as data: URLs, for the peers.
QByteArray peerHtml(const QString &messagePath)
{
    const Result<MailMessage> message = parseMailMessageFile(messagePath.toStdString());
    if (!message)
        return {};
    const std::string base = "bench-cid:";
    ComposeOptions options;
    options.cidBaseUrl = base;
    std::string html = composeMessageHtml(message.value(), {}, options);
    for (const InlineResource &resource : message.value().inlineResources) {
        const std::string from = base + percentEncodeUrlPart(resourceKey(resource));
        const std::string to = "data:" + resource.mimeType + ";base64," +
                               QByteArray::fromStdString(resource.bytes).toBase64().toStdString();
        for (std::size_t at = html.find(from); at != std::string::npos; at = html.find(from, at + to.size()))
            html.replace(at, from.size(), to);
    }
    return QByteArray::fromStdString(html);
}

/// Runs `program` and returns the wall time in ms, or -1 when it failed or did not produce `output`.
double timedRun(const QString &program, const QStringList &arguments, const QString &output)
{
    QFile::remove(output);
    QElapsedTimer timer;
    timer.start();
    QProcess process;
    // The peers are chatty (dbus, progress); only their time and their output file count.
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(program, arguments);
    if (!process.waitForFinished(kPeerTimeoutMs)) {
        process.kill();
        process.waitForFinished();
        return -1;
    }
    const double elapsed = double(timer.nsecsElapsed()) / 1e6;
    return QFile::exists(output) ? elapsed : -1;
}

struct PeerTotals
{
    double ms = 0;
    int done = 0;
};

/// Converts `messages` as a run does, through `workers` worker processes with as many in
/// flight as they take, after one warm-up message per worker, an HTML one of `warmUpFrom`
/// (each worker starts its web engine, which the plain-text ones may need too).
/// Returns messages/s; `supervisorMs` gets this process's CPU time per message.
double workerMessagesPerSecond(const QDir &corpus, const QStringList &messages, const QStringList &warmUpFrom,
                               const QString &output, int workers, int &failures, double &supervisorMs)
{
    IsolatedMailConverter converter(workerCommand(runningProgramFolder(), WorkerSettings{}), WorkerLimits{}, workers);
    QDir().mkpath(output);
    const auto convertAll = [&](const QStringList &names, const QString &prefix) {
        int inFlight = 0;
        for (const QString &name : names) {
            if (inFlight == converter.capacity()) {
                failures += converter.finishOldest() ? 0 : 1;
                --inFlight;
            }
            converter.begin(fileAt(corpus.filePath(name).toStdString()).value(),
                            fileAt(QDir(output).filePath(prefix + name + QStringLiteral(".pdf")).toStdString()).value(),
                            "-c pdf");
            ++inFlight;
        }
        for (; inFlight > 0; --inFlight)
            failures += converter.finishOldest() ? 0 : 1;
    };
    QStringList warmUp;
    for (const QString &name : warmUpFrom) {
        if (warmUp.size() < workers && !isPlainKind(name))
            warmUp.append(name);
    }
    convertAll(warmUp, QStringLiteral("warm-up "));
    failures = 0;
    QElapsedTimer timer;
    timer.start();
    const double cpuBefore = ownCpuMs();
    convertAll(messages, QString());
    supervisorMs = (ownCpuMs() - cpuBefore) / double(messages.size());
    return static_cast<double>(messages.size()) * 1e9 / static_cast<double>(timer.nsecsElapsed());
}

} // namespace

int main(int argc, char **argv)
{
    prepareHeadlessMailConverterApplication();
    QGuiApplication app(argc, argv);

    const QStringList arguments = app.arguments();
    if (arguments.size() < 2) {
        std::fprintf(stderr,
                     "usage: convert_bench <corpus folder> [peer messages, default %d; 0 = none] [big message file]\n",
                     kDefaultPeerMessages);
        return 2;
    }
    const QDir corpus(arguments.at(1));
    const int peerCount = arguments.size() > 2 ? arguments.at(2).toInt() : kDefaultPeerMessages;
    const QStringList names = corpus.entryList({QStringLiteral("*.eml")}, QDir::Files, QDir::Name);
    if (names.isEmpty()) {
        std::fprintf(stderr, "convert_bench: no .eml files in %s\n", qPrintable(corpus.path()));
        return 1;
    }
    QTemporaryDir output;

    QElapsedTimer timer;
    timer.start();
    auto converter = std::make_unique<PdfMailConverter>();
    // The web engine starts with the first HTML message; time that start on its own.
    const QString warmUp = output.filePath(QStringLiteral("warm-up"));
    for (const QString &name : names) {
        if (!isPlainKind(name)) {
            (void)converter->Convert(corpus.filePath(name).toStdString(), warmUp.toStdString() + ".pdf", "-c pdf");
            break;
        }
    }
    const double startMs = double(timer.nsecsElapsed()) / 1e6;

    std::map<QString, double> messageMs;
    std::map<QString, double> messageCpuMs; // this process's, so without the web engine's helpers
    int failures = 0;
    int fallbacks = 0;
    double plainMs = 0;
    int plainCount = 0;
    timer.restart();
    for (const QString &name : names) {
        QElapsedTimer one;
        one.start();
        const double cpuBefore = ownCpuMs();
        const Result<ConvertedMessage> converted =
            converter->Convert(corpus.filePath(name).toStdString(),
                               output.filePath(name + QStringLiteral(".pdf")).toStdString(), "-c pdf");
        const double ms = double(one.nsecsElapsed()) / 1e6;
        messageMs[name] = ms;
        messageCpuMs[name] = ownCpuMs() - cpuBefore;
        if (!converted) {
            ++failures;
            std::fprintf(stderr, "convert_bench: %s: %s\n", qPrintable(name), converted.error().message.c_str());
        } else if (!converted.value().warnings.empty()) {
            ++fallbacks;
        }
        if (isPlainKind(name)) {
            plainMs += ms;
            ++plainCount;
        }
    }
    const double totalMs = double(timer.nsecsElapsed()) / 1e6;
    const HelperMemory helpers = helperMemory(QCoreApplication::applicationPid());

    std::printf("corpus: %lld messages (%d plain text) in %s\n", qlonglong(names.size()), plainCount,
                qPrintable(corpus.path()));
    std::printf("start-up incl. first HTML message: %.0f ms\n", startMs);
    std::printf("tessaly mix:        %7.1f messages/s  (%.1f ms/message, %d failed, %d fell back)\n",
                double(names.size()) * 1000.0 / totalMs, totalMs / double(names.size()), failures, fallbacks);
    if (plainCount > 0)
        std::printf("tessaly plain text: %7.1f messages/s  (%.1f ms/message)\n", plainCount * 1000.0 / plainMs,
                    plainMs / plainCount);
    std::map<QString, std::pair<double, int>> kinds;
    for (const auto &[name, ms] : messageMs) {
        auto &kind = kinds[name.section(QLatin1Char('-'), 0, 0)];
        kind.first += ms;
        ++kind.second;
    }
    std::map<QString, qint64> kindBytes;
    std::map<QString, double> kindCpuMs;
    for (const auto &[name, ms] : messageMs) {
        const QString kind = name.section(QLatin1Char('-'), 0, 0);
        kindBytes[kind] += QFileInfo(output.filePath(name + QStringLiteral(".pdf"))).size();
        kindCpuMs[kind] += messageCpuMs[name];
    }
    for (const auto &[kind, totals] : kinds)
        std::printf("  %-12s %7.1f ms/message (%.1f ms CPU here) over %d, %6.1f KB/PDF\n", qPrintable(kind),
                    totals.first / totals.second, kindCpuMs[kind] / totals.second, totals.second,
                    double(kindBytes[kind]) / 1024.0 / totals.second);
    std::printf(
        "peak RSS: tessaly process %.0f MB; %d WebEngine helper processes, largest %.0f MB, sum of peaks %.0f MB\n",
        ownPeakResidentMb(), helpers.processes, helpers.largestPeakMb, helpers.sumOfPeaksMb);

    // As a run converts: worker processes, K messages rendering at once.
    QStringList plainNames;
    for (const QString &name : names) {
        if (isPlainKind(name))
            plainNames.append(name);
    }
    const int cores = defaultWorkerCount();
    // This process needed the sandbox off to run Chromium as root; workers decide for themselves.
    qunsetenv("QTWEBENGINE_DISABLE_SANDBOX");
    std::printf("as a run converts, in worker processes (after one warm-up message per worker):\n");
    for (const auto &[label, subset] : {std::pair{"mix", names}, std::pair{"plain text", plainNames}}) {
        double oneWorker = 0;
        for (const int workers : {1, cores}) {
            if (workers == 1 && oneWorker > 0)
                continue; // one core: K=1 is the whole story
            int failed = 0;
            double supervisorMs = 0;
            const QString folder = output.filePath(QStringLiteral("%1 K%2").arg(QLatin1String(label)).arg(workers));
            const double rate = workerMessagesPerSecond(corpus, subset, names, folder, workers, failed, supervisorMs);
            if (workers == 1)
                oneWorker = rate;
            std::printf("  %-11s K=%d: %7.1f messages/s  (%d failed; supervisor %.1f ms CPU/message)", label, workers,
                        rate, failed, supervisorMs);
            if (workers > 1)
                std::printf(", %.2fx K=1", rate / oneWorker);
            std::printf("\n");
            failures += failed;
        }
    }
    // The plain-text figure by kind: short mail, long mail, and mail mixing many scripts, all
    // drawn by the text engine.
    if (cores > 1) {
        std::printf("  plain text by kind, K=%d:", cores);
        for (const char *kind : {"plain", "plainlong", "intlplain"}) {
            QStringList subset;
            for (const QString &name : plainNames) {
                if (name.section(QLatin1Char('-'), 0, 0) == QLatin1String(kind))
                    subset.append(name);
            }
            if (subset.isEmpty())
                continue;
            int failed = 0;
            double supervisorMs = 0;
            const QString folder = output.filePath(QStringLiteral("kind %1").arg(QLatin1String(kind)));
            const double rate = workerMessagesPerSecond(corpus, subset, names, folder, cores, failed, supervisorMs);
            std::printf(" %s %.1f/s", kind, rate);
            failures += failed;
        }
        std::printf("\n");
    }

    // One very large message last, so that the peak it causes shows apart from the corpus's.
    if (arguments.size() > 3) {
        const double before = ownPeakResidentMb();
        QElapsedTimer one;
        one.start();
        const Result<ConvertedMessage> converted = converter->Convert(
            arguments.at(3).toStdString(), output.filePath(QStringLiteral("big.pdf")).toStdString(), "-c PDF -attach");
        const double ms = double(one.nsecsElapsed()) / 1e6;
        const qint64 pdfSize = converted ? QFileInfo(QString::fromStdString(converted.value().writtenPath)).size() : 0;
        std::printf("big message (%lld MB, -c PDF -attach): %s to a %lld MB PDF in %.0f ms; peak RSS %.0f MB before, "
                    "%.0f MB after\n",
                    qlonglong(QFileInfo(arguments.at(3)).size() >> 20), converted ? "converted" : "FAILED",
                    qlonglong(pdfSize >> 20), ms, before, ownPeakResidentMb());
        if (!converted)
            std::fprintf(stderr, "convert_bench: big message: %s\n", converted.error().message.c_str());
        QFile::remove(output.filePath(QStringLiteral("big.pdf")));
    }

    if (peerCount <= 0)
        return failures == 0 ? 0 : 1;

    // The same pages through the peers, on an even spread of the corpus.
    QStringList subset;
    const double step = double(names.size()) / double(std::min<qsizetype>(peerCount, names.size()));
    for (double at = 0; at < double(names.size()) && subset.size() < peerCount; at += step)
        subset.append(names.at(qsizetype(at)));
    double oursMs = 0;
    for (const QString &name : subset)
        oursMs += messageMs[name];

    const QString wkhtmltopdf = QStandardPaths::findExecutable(QStringLiteral("wkhtmltopdf"));
    const QString chromium = QStandardPaths::findExecutable(QStringLiteral("chromium"));
    PeerTotals wk;
    PeerTotals chrome;
    for (const QString &name : subset) {
        const QString html = output.filePath(name + QStringLiteral(".html"));
        QFile file(html);
        if (!file.open(QIODevice::WriteOnly))
            continue;
        file.write(peerHtml(corpus.filePath(name)));
        file.close();
        if (!wkhtmltopdf.isEmpty()) {
            const QString pdf = output.filePath(name + QStringLiteral(".wk.pdf"));
            const double ms = timedRun(wkhtmltopdf, {QStringLiteral("-q"), html, pdf}, pdf);
            if (ms >= 0) {
                wk.ms += ms;
                ++wk.done;
            }
        }
        if (!chromium.isEmpty()) {
            const QString pdf = output.filePath(name + QStringLiteral(".chromium.pdf"));
            QTemporaryDir profile;
            const double ms =
                timedRun(chromium,
                         {QStringLiteral("--headless"), QStringLiteral("--no-sandbox"), QStringLiteral("--disable-gpu"),
                          QStringLiteral("--no-first-run"), QStringLiteral("--disable-background-networking"),
                          QStringLiteral("--disable-component-update"), QStringLiteral("--disable-sync"),
                          QStringLiteral("--user-data-dir=") + profile.path(), QStringLiteral("--print-to-pdf=") + pdf,
                          QUrl::fromLocalFile(html).toString()},
                         pdf);
            if (ms >= 0) {
                chrome.ms += ms;
                ++chrome.done;
            }
        }
    }

    std::printf("peers on %lld messages of the mix: tessaly %.1f ms/message\n", qlonglong(subset.size()),
                oursMs / double(subset.size()));
    const auto report = [&](const char *peer, const PeerTotals &totals) {
        if (totals.done == 0) {
            std::printf("  %-12s not run (not installed or every run failed)\n", peer);
            return;
        }
        const double perMessage = totals.ms / totals.done;
        std::printf("  %-12s %7.1f ms/message (%d of %lld done): tessaly is %.1fx faster\n", peer, perMessage,
                    totals.done, qlonglong(subset.size()), perMessage / (oursMs / double(subset.size())));
    };
    report("wkhtmltopdf", wk);
    report("chromium", chrome);

    converter.reset();
    return failures == 0 ? 0 : 1;
}
