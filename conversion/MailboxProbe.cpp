#include "conversion/MailboxProbe.h"

#include "conversion/MailboxFileReader.h"
#include "support/PathHelpers.h"

#include <fstream>

namespace tessaly {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kFromLine = "From ";

bool isBlank(char byte)
{
    return byte == ' ' || byte == '\t' || byte == '\r' || byte == '\n' || byte == '\f' || byte == '\v';
}

} // namespace

void MailboxStartCheck::feed(std::string_view bytes)
{
    for (const char byte : bytes) {
        if (m_decided)
            return;
        if (m_markMatched < static_cast<int>(kByteOrderMark.size())) {
            if (byte == kByteOrderMark[static_cast<std::size_t>(m_markMatched)]) {
                ++m_markMatched;
                continue;
            }
            // Only a whole mark at the very start is skipped; a part of one is text.
            if (m_markMatched > 0) {
                m_decided = true;
                m_result = MailboxContent::NotAMailbox;
                return;
            }
            m_markMatched = static_cast<int>(kByteOrderMark.size());
        }
        if (!m_sawText) {
            if (isBlank(byte)) {
                m_atLineStart = byte == '\n' || (m_atLineStart && byte == '\r');
                continue;
            }
            m_sawText = true;
            // Text after blanks on its own line: that line is no "From " line.
            if (!m_atLineStart) {
                m_decided = true;
                m_result = MailboxContent::NotAMailbox;
                return;
            }
        }
        if (byte != kFromLine[m_fromMatched]) {
            m_decided = true;
            m_result = MailboxContent::NotAMailbox;
            return;
        }
        if (++m_fromMatched == kFromLine.size()) {
            m_decided = true;
            m_result = MailboxContent::Mail;
            return;
        }
    }
}

MailboxContent MailboxStartCheck::result() const
{
    if (m_decided)
        return m_result;
    // Ended before a decision: a cut-off byte-order mark or "From" is not mail.
    if (m_sawText || (m_markMatched > 0 && m_markMatched < static_cast<int>(kByteOrderMark.size())))
        return MailboxContent::NotAMailbox;
    return MailboxContent::Empty;
}

MailboxContent classifyMailboxStart(std::string_view wholeFile)
{
    MailboxStartCheck check;
    check.feed(wholeFile);
    return check.result();
}

Result<MailboxContent> checkMailboxFile(const std::string &path)
{
    Result<MailboxFileReader> file = MailboxFileReader::open(path);
    if (!file)
        return file.error();
    MailboxStartCheck check;
    while (!check.isDecided()) {
        Result<std::string_view> chunk = file.value().readChunk();
        if (!chunk)
            return chunk.error();
        if (chunk.value().empty())
            break;
        check.feed(chunk.value());
    }
    return check.result();
}

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
