#include "conversion/EmlCopyConverter.h"

#include "support/PathHelpers.h"
#include "support/PendingFile.h"

#include <filesystem>
#include <fstream>
#include <vector>

namespace tessaly {
namespace {

constexpr std::size_t kCopyChunk = 1 << 20;
constexpr std::string_view kEnvelopeStart = "From ";

} // namespace

std::string emlDestination(const std::string &destination)
{
    constexpr std::string_view kPdf = ".pdf";
    if (destination.size() >= kPdf.size() &&
        destination.compare(destination.size() - kPdf.size(), kPdf.size(), kPdf) == 0)
        return destination.substr(0, destination.size() - kPdf.size()) + ".eml";
    return destination + ".eml";
}

Result<ConvertedMessage> EmlCopyConverter::Convert(const std::string &source, const std::string &destination,
                                                   const std::string &options)
{
    (void)options;
    std::ifstream input(toFsPath(source), std::ios::binary);
    if (!input)
        return Error{"cannot open '" + source + "'"};

    const std::string target = emlDestination(destination);
    const std::string folder = fromFsPath(toFsPath(target).parent_path());
    Result<PendingFile> pending = PendingFile::createIn(folder.empty() ? std::string(".") : folder);
    if (!pending)
        return pending.error();

    std::vector<char> buffer(kCopyChunk);
    // Mail programs do not expect the mailbox's "From " envelope line in a message file.
    bool atStart = true;
    bool inEnvelope = false;
    while (input) {
        input.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        const auto count = static_cast<std::size_t>(input.gcount());
        if (input.bad())
            return Error{"cannot read '" + source + "'"};
        if (count == 0)
            break;
        std::string_view bytes(buffer.data(), count);
        if (atStart) {
            atStart = false;
            inEnvelope = bytes.starts_with(kEnvelopeStart);
        }
        if (inEnvelope) {
            const std::size_t lineEnd = bytes.find('\n');
            if (lineEnd == std::string_view::npos)
                continue;
            bytes.remove_prefix(lineEnd + 1);
            inEnvelope = false;
        }
        if (Result<void> written = pending.value().write(bytes); !written)
            return written.error();
    }

    Result<std::string> committed = pending.value().commitAs(target);
    if (!committed)
        return committed.error();
    return ConvertedMessage{committed.value(), {}};
}

} // namespace tessaly
