// Prints how long embedding one attachment in a PDF takes, for incompressible and text data.
#include "mailconverter/attachments/AttachmentEmbedder.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

using namespace tessaly;

namespace {

constexpr std::size_t kAttachmentBytes = 10 * 1024 * 1024;
constexpr int kRuns = 5;

struct Times
{
    double wallMilliseconds = 0;
    double cpuMilliseconds = 0;
};

double cpuMilliseconds()
{
    return static_cast<double>(std::clock()) * 1000.0 / CLOCKS_PER_SEC;
}

void addPage(QPDF &pdf)
{
    pdf.emptyPDF();
    QPDFObjectHandle page =
        pdf.makeIndirectObject(QPDFObjectHandle::parse("<< /Type /Page /MediaBox [0 0 595 842] >>"));
    QPDFPageDocumentHelper(pdf).addPage(QPDFPageObjectHelper(page), false);
}

/// The median times of embedding `bytes` and writing the PDF to a file, as the converter
/// does, less the times of writing the same PDF without it. Wall time suffers when other
/// work shares the machine; processor time much less.
Times medianEmbedTimes(const std::string &bytes, const char *mimeType)
{
    const std::string output = (std::filesystem::temp_directory_path() / "tessaly-embed-bench.pdf").string();
    std::vector<double> wall;
    std::vector<double> cpu;
    for (int run = 0; run < kRuns; ++run) {
        const auto timeWrite = [&](bool embed) {
            QPDF pdf;
            addPage(pdf);
            const auto start = std::chrono::steady_clock::now();
            const double cpuStart = cpuMilliseconds();
            if (embed && !embedAttachments(pdf, {{"file", mimeType, bytes}}))
                std::fprintf(stderr, "embedding failed\n");
            QPDFWriter writer(pdf, output.c_str());
            prepareWriterForEmbeddedFiles(writer);
            writer.write();
            return Times{std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count(),
                         cpuMilliseconds() - cpuStart};
        };
        const Times without = timeWrite(false);
        const Times with = timeWrite(true);
        wall.push_back(with.wallMilliseconds - without.wallMilliseconds);
        cpu.push_back(with.cpuMilliseconds - without.cpuMilliseconds);
    }
    std::filesystem::remove(output);
    std::sort(wall.begin(), wall.end());
    std::sort(cpu.begin(), cpu.end());
    return {wall[wall.size() / 2], cpu[cpu.size() / 2]};
}

} // namespace

int main()
{
    std::string random(kAttachmentBytes, '\0');
    std::mt19937 generator(1);
    for (char &c : random)
        c = static_cast<char>(generator() & 0xFF);
    std::string text;
    while (text.size() < kAttachmentBytes)
        text += "Line " + std::to_string(text.size()) + ": the quick brown fox jumps over the lazy dog.\n";

    const Times jpegLike = medianEmbedTimes(random, "image/jpeg");
    const Times plainText = medianEmbedTimes(text, "text/plain");
    std::printf("embed 10 MB incompressible (JPEG-like), stored as is: %6.1f ms wall, %6.1f ms processor\n",
                jpegLike.wallMilliseconds, jpegLike.cpuMilliseconds);
    std::printf("embed 10 MB text, compressed:                        %6.1f ms wall, %6.1f ms processor\n",
                plainText.wallMilliseconds, plainText.cpuMilliseconds);
    return 0;
}
