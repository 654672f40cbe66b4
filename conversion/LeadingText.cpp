#include "conversion/LeadingText.h"

#include "support/FileMark.h"
#include "support/PathHelpers.h"
#include "support/PendingFile.h"
#include "support/Sha256.h"

namespace tessaly {

std::string leadingTextFileName(const std::string &mailboxPath)
{
    return PathFileName(mailboxPath) + " leading text.txt";
}

Result<std::string> keepLeadingText(MailboxFileReader &leadingText, const std::string &mailboxPath,
                                    const FolderHandle &folder, bool replacesEarlierCopy)
{
    Result<PendingFile> copy = PendingFile::createIn(folder);
    if (!copy)
        return copy.error();
    Sha256 digest;
    for (;;) {
        Result<std::string_view> chunk = leadingText.readChunk();
        if (!chunk)
            return chunk.error();
        if (chunk.value().empty())
            break;
        digest.add(chunk.value());
        if (Result<void> written = copy.value().write(chunk.value()); !written)
            return written.error();
    }
    if (leadingText.bytesRead() != leadingText.size())
        return Error{"cannot read the first " + std::to_string(leadingText.size()) + " bytes of '" + mailboxPath +
                         "': the file is shorter now",
                     FailureKind::Unreadable};
    const std::string name = leadingTextFileName(mailboxPath);
    const std::string mark = messageMark(digest.hexDigest(), name);
    Result<std::string> named = copy.value().commitAs(name, Durability::Durable, {mark, replacesEarlierCopy});
    if (!named)
        return named.error();
    if (Result<void> synced = folder.sync(); !synced)
        return synced.error();
    return folder.pathOf(named.value());
}

} // namespace tessaly
