#include "conversion/RunInputs.h"

namespace tessaly {

std::vector<MailboxRow> wholeMailboxRows(const std::vector<std::string> &paths)
{
    std::vector<MailboxRow> rows;
    rows.reserve(paths.size());
    for (const std::string &path : paths)
        rows.push_back(MailboxRow{path, std::nullopt});
    return rows;
}

} // namespace tessaly
