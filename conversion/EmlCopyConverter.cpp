#include "conversion/EmlCopyConverter.h"

#include "support/PathHelpers.h"
#include "support/PendingFile.h"

namespace tessaly {
namespace {

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

Result<ConvertedMessage> EmlCopyConverter::Convert(const FileInFolder &source, const FileInFolder &destination,
                                                   const std::string &options)
{
    (void)options;
    Result<std::string> bytes = source.folder.read(source.name);
    if (!bytes)
        return bytes.error();
    Result<PendingFile> pending = PendingFile::createIn(destination.folder);
    if (!pending)
        return pending.error();
    // Mail programs do not expect the mailbox's "From " envelope line in a message file.
    std::string_view message = bytes.value();
    if (message.starts_with(kEnvelopeStart)) {
        const std::size_t lineEnd = message.find('\n');
        message.remove_prefix(lineEnd == std::string_view::npos ? message.size() : lineEnd + 1);
    }
    if (Result<void> written = pending.value().write(message); !written)
        return written.error();
    Result<std::string> committed = pending.value().commitAs(emlDestination(destination.name));
    if (!committed)
        return committed.error();
    // Durable before the message's source may go (see commitRenderedMessage).
    if (Result<void> synced = destination.folder.sync(); !synced) {
        (void)destination.folder.remove(committed.value()); // one that won't go stays; the source is kept
        return synced.error();
    }
    return ConvertedMessage{destination.folder.pathOf(committed.value()), 0, {}};
}

} // namespace tessaly
