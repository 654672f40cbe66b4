// Prints the time and peak memory of bundling many small message PDFs into one, with page and
// Bates stamps: joining must stay linear in pages and bounded in memory.
//
// Usage: bundle_bench [MESSAGES [--no-stamps]]   (10000 unless told)
#include "mailconverter/attachments/AttachmentEmbedder.h"
#include "mailconverter/bundle/QpdfBundleAssembler.h"
#include "mailconverter/textpages/TextPageWriter.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFWriter.hh>

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using namespace tessaly;

namespace {

/// Distinct message PDFs drawn; the messages cycle through them (each file is read apart).
constexpr int kVariants = 40;

double seconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

long peakRssKilobytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

/// A message PDF of 1 to 3 pages; every fourth carries a small embedded file.
std::string messagePdf(int variant)
{
    std::vector<TextParagraph> paragraphs;
    const int lines = 10 + (variant % 3) * 60;
    for (int line = 1; line <= lines; ++line) {
        TextParagraph paragraph;
        TextRun run;
        run.text = "Message variant " + std::to_string(variant) + ", line " + std::to_string(line) +
                   ": the quick brown fox jumps over the lazy dog.";
        paragraph.runs.push_back(run);
        paragraphs.push_back(paragraph);
    }
    const Result<QByteArray> drawn = TextPageWriter(TextPageGeometry{}, {}).write(paragraphs);
    if (!drawn) {
        std::fprintf(stderr, "cannot draw a message: %s\n", drawn.error().message.c_str());
        std::exit(1);
    }
    if (variant % 4 != 0)
        return drawn.value().toStdString();
    QPDF pdf;
    pdf.processMemoryFile("message", drawn.value().constData(), std::size_t(drawn.value().size()));
    const std::string attachment(20000, char('a' + variant % 26));
    (void)embedAttachments(pdf, {{"notes.txt", "text/plain", attachment}}, {});
    QPDFWriter writer(pdf);
    writer.setOutputMemory();
    prepareWriterForEmbeddedFiles(writer);
    writer.write();
    std::unique_ptr<Buffer> buffer(writer.getBuffer());
    return std::string(reinterpret_cast<const char *>(buffer->getBuffer()), buffer->getSize());
}

} // namespace

int main(int argc, char **argv)
{
    const int messages = argc > 1 ? std::atoi(argv[1]) : 10000;
    const bool stamps = !(argc > 2 && std::string(argv[2]) == "--no-stamps");
    const std::filesystem::path folderPath = std::filesystem::temp_directory_path() / "tessaly-bundle-bench";
    std::filesystem::remove_all(folderPath);
    std::filesystem::create_directories(folderPath);

    auto started = std::chrono::steady_clock::now();
    std::vector<std::string> variants;
    for (int variant = 0; variant < kVariants; ++variant)
        variants.push_back(messagePdf(variant));
    const Result<FolderHandle> folder = FolderHandle::open(folderPath.string());
    if (!folder) {
        std::fprintf(stderr, "%s\n", folder.error().message.c_str());
        return 1;
    }
    BundlePart part;
    part.title = "Bench mailbox";
    part.pageNumbers = stamps;
    if (stamps)
        part.bates = BatesNumbering{"BENCH-", 1, 6};
    for (int number = 1; number <= messages; ++number) {
        const std::string name = std::to_string(number) + ".pdf";
        std::ofstream(folderPath / name, std::ios::binary) << variants[std::size_t(number % kVariants)];
        BundleMessage message;
        message.number = number;
        message.date = "2024-01-01 12:00:00";
        message.from = "Sender " + std::to_string(number % 97) + " <sender@example.org>";
        message.subject = "Subject of message " + std::to_string(number);
        message.attachments = number % kVariants % 4 == 0 ? 1 : 0;
        message.pdf = FileInFolder{folder.value(), name};
        part.messages.push_back(std::move(message));
    }
    std::printf("made %d message PDFs in %.1f s; peak RSS so far %ld MB\n", messages, seconds(started),
                peakRssKilobytes() / 1024);

    started = std::chrono::steady_clock::now();
    const Result<AssembledPart> assembled = QpdfBundleAssembler().assemble(part, {folder.value(), "bundle.pdf"});
    const double assembling = seconds(started);
    if (!assembled) {
        std::fprintf(stderr, "%s\n", assembled.error().message.c_str());
        return 1;
    }
    const auto bytes = std::filesystem::file_size(folderPath / "bundle.pdf");
    std::printf("bundled %d messages, %d pages, %.1f MB, %s: %.1f s (%.2f ms a page); "
                "peak RSS %ld MB\n",
                messages, assembled.value().pageCount, double(bytes) / 1e6,
                stamps ? "with page and Bates stamps" : "without stamps", assembling,
                assembling * 1000 / assembled.value().pageCount, peakRssKilobytes() / 1024);
    std::filesystem::remove_all(folderPath);
    return 0;
}
