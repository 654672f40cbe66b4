// Measures the plain-text page's steps in this process, in CPU ms per message: the text pages
// with every line shaped and with the ASCII fast path, the finishing pass over them, and the
// whole conversion. Prints figures; judges nothing.
#include "mailconverter/mime/MailMessage.h"
#include "mailconverter/pdf/PdfFinisher.h"
#include "mailconverter/render/MessageParagraphs.h"
#include "mailconverter/render/MessageScheme.h"
#include "mailconverter/render/PdfMailConverter.h"
#include "mailconverter/render/PlainTextPage.h"
#include "mailconverter/textpages/TextPageWriter.h"

#include <QDir>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <algorithm>
#include <ctime>

#include <cstdio>
#include <functional>

using namespace tessaly;

namespace {

constexpr int kRounds = 3;

/// The default page's column.
constexpr MessagePageColumn kColumn{595.28 - 2 * 42.52, 841.89 - 2 * 42.52, false};

/// A message of plain-text bodies only, what the benchmark measures.
bool isPlainOnly(const MailMessage &message)
{
    return message.forwarded.empty() &&
           std::all_of(message.bodies.begin(), message.bodies.end(),
                       [](const BodyPart &body) { return body.kind == BodyPart::Kind::PlainText; });
}

double threadCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1000.0 + double(now.tv_nsec) / 1e6;
}

/// The least CPU time of kRounds runs of `step` over every message, per message.
double leastMsPerMessage(int messages, const std::function<void(int)> &step)
{
    double least = 0;
    for (int round = 0; round < kRounds; ++round) {
        const double before = threadCpuMs();
        for (int i = 0; i < messages; ++i)
            step(i);
        const double ms = (threadCpuMs() - before) / messages;
        least = round == 0 ? ms : std::min(least, ms);
    }
    return least;
}

} // namespace

int main(int argc, char **argv)
{
    prepareHeadlessMailConverterApplication();
    QGuiApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: text_page_bench <folder of plain-text .eml files>\n");
        return 2;
    }
    const QDir corpus(QString::fromLocal8Bit(argv[1]));
    std::vector<std::string> paths;
    std::vector<MailMessage> messages;
    for (const QString &name : corpus.entryList({QStringLiteral("*.eml")}, QDir::Files, QDir::Name)) {
        Result<MailMessage> message = parseMailMessageFile(corpus.filePath(name).toStdString());
        if (message && isPlainOnly(message.value())) {
            paths.push_back(corpus.filePath(name).toStdString());
            messages.push_back(std::move(message.value()));
        }
    }
    if (messages.empty()) {
        std::fprintf(stderr, "text_page_bench: no plain-text messages in %s\n", argv[1]);
        return 1;
    }
    const int count = int(messages.size());
    std::vector<QByteArray> pages(messages.size());
    const auto writeAll = [&](LineShaping shaping) {
        return leastMsPerMessage(count, [&](int i) {
            const TextPageWriter writer(TextPageGeometry{}, pageLanguageTag(messages[std::size_t(i)]), shaping);
            Result<QByteArray> pdf = writer.write(messageParagraphs(messages[std::size_t(i)], kColumn));
            pages[std::size_t(i)] = pdf ? pdf.value() : QByteArray();
        });
    };
    const double shaped = writeAll(LineShaping::Always);
    const double fast = writeAll(LineShaping::AsciiFastPath);
    PdfFinishing finishing;
    finishing.metadata.title = QStringLiteral("Title");
    finishing.objectStreams = false;
    qint64 bytesWithout = 0;
    const double finishedWithout = leastMsPerMessage(count, [&](int i) {
        const Result<std::string> pdf = finishPdf(pages[std::size_t(i)], finishing);
        bytesWithout += pdf ? qint64(pdf.value().size()) : 0;
    });
    finishing.objectStreams = true;
    qint64 bytesWith = 0;
    const double finished = leastMsPerMessage(count, [&](int i) {
        const Result<std::string> pdf = finishPdf(pages[std::size_t(i)], finishing);
        bytesWith += pdf ? qint64(pdf.value().size()) : 0;
    });
    PdfMailConverter converter;
    QTemporaryDir output;
    const double converted = leastMsPerMessage(count, [&](int i) {
        (void)converter.Convert(paths[std::size_t(i)], output.filePath(QStringLiteral("m.pdf")).toStdString(),
                                "-c pdf");
    });
    std::printf("%d plain-text messages, CPU ms per message, least of %d rounds:\n", count, kRounds);
    std::printf("  text pages, every line shaped: %7.2f\n", shaped);
    std::printf("  text pages, ASCII fast path:   %7.2f\n", fast);
    std::printf("  finishing pass alone:          %7.2f (%.1f KB/PDF); without object streams %.2f (%.1f KB/PDF)\n",
                finished, double(bytesWith) / kRounds / count / 1024.0, finishedWithout,
                double(bytesWithout) / kRounds / count / 1024.0);
    std::printf("  whole conversion:              %7.2f\n", converted);
    return 0;
}
