#include "conversion/MailboxProbe.h"

#include "support/PathHelpers.h"

#include <fstream>

namespace tessaly {

ProbeResult probeMailboxStart(std::string_view firstBytes)
{
    const std::string_view probed = firstBytes.substr(0, kProbeSize);
    const std::size_t lineFeed = probed.find('\n');
    ProbeResult result;
    result.fromPosition = lineFeed == std::string_view::npos ? 0 : static_cast<long>(lineFeed) + 1;
    result.mailboxKind = result.fromPosition > 0 ? MailboxKind::NotNormal : MailboxKind::Normal;
    return result;
}

std::string readProbeBytes(const std::string &path)
{
    std::ifstream file(toFsPath(path), std::ios::binary);
    if (!file)
        return {};
    std::string bytes(kProbeSize, '\0');
    file.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<std::size_t>(file.gcount()));
    return bytes;
}

} // namespace tessaly
