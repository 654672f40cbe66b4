#include "conversion/OpenedMailbox.h"

#include "conversion/MailboxProbe.h"

#include <utility>

namespace tessaly {

Result<OpenedMailbox> openMailbox(const std::string &path, bool checkStart)
{
    Result<MailboxFileReader> file = MailboxFileReader::open(path);
    if (!file)
        return file.error();
    Result<std::string_view> chunk = file.value().readChunk();
    if (!chunk)
        return chunk.error();
    // A chunk is far longer than the probe, so the first one holds all the probe looks at.
    const SplitMode splitMode = MailboxReader::splitModeOf(chunk.value().substr(0, kProbeSize));
    MailboxStartCheck check;
    while (checkStart) {
        check.feed(chunk.value());
        if (check.isDecided() || chunk.value().empty())
            break;
        chunk = file.value().readChunk();
        if (!chunk)
            return chunk.error();
    }
    const MailboxStart unchecked{MailboxContent::Mail, 0, {}};
    return OpenedMailbox{std::move(file).value(), checkStart ? check.result() : unchecked, splitMode};
}

Result<MailboxStart> checkMailboxFile(const std::string &path)
{
    Result<OpenedMailbox> opened = openMailbox(path, true);
    if (!opened)
        return opened.error();
    return opened.value().start;
}

} // namespace tessaly
