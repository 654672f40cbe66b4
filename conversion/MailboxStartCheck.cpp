#include "conversion/MailboxStartCheck.h"

namespace tessaly {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kEnvelope = "From ";
/// A header field's name is far shorter; a line without a colon by then is no field.
constexpr std::uint64_t kMaxFieldNameBytes = 998;
constexpr std::string_view kBinaryReason = "it holds binary data, not mail text";
constexpr std::string_view kNoMessageReason = "it holds no \"From \" line and does not begin with a message's header";

bool isBlank(char byte)
{
    return byte == ' ' || byte == '\t' || byte == '\r' || byte == '\n' || byte == '\f' || byte == '\v';
}

bool isLineBreak(char byte)
{
    return byte == '\n' || byte == '\r';
}

/// A control byte that no mail text holds in any charset a message may be in. Tabs, form feeds
/// and line breaks are text, and so are ISO-2022's escape and shifts; the substitute character
/// (a DOS end-of-file mark) is not, as binary formats such as PNG open with it.
bool isBinary(char byte)
{
    const auto code = static_cast<unsigned char>(byte);
    if (code >= 0x20)
        return false;
    switch (code) {
    case '\t':
    case '\n':
    case '\v':
    case '\f':
    case '\r':
    case 0x0E:
    case 0x0F:
    case 0x1B:
        return false;
    default:
        return true;
    }
}

bool isFieldNameByte(char byte)
{
    const auto code = static_cast<unsigned char>(byte);
    return code > 0x20 && code < 0x7F && byte != ':';
}

} // namespace

void MailboxStartCheck::feed(std::string_view bytes)
{
    for (const char byte : bytes) {
        if (m_stage == Stage::Decided)
            return;
        step(byte);
        ++m_offset;
        // A message that opens with a header field and runs on this far is one, binary or not.
        if (m_stage == Stage::Scan && m_opensWithHeaderField && m_offset >= kBinaryCheckBytes)
            decide(MailboxContent::HeaderBlockFirst);
    }
}

void MailboxStartCheck::step(char byte)
{
    if (m_offset < kBinaryCheckBytes && isBinary(byte)) {
        decide(MailboxContent::NotAMailbox, kBinaryReason);
        return;
    }
    switch (m_stage) {
    case Stage::Mark:
        if (byte == kByteOrderMark[m_markMatched]) {
            if (++m_markMatched == kByteOrderMark.size())
                m_stage = Stage::Blanks;
            return;
        }
        if (m_markMatched > 0) {
            // Only a whole mark is skipped; a part of one is text on a line that opens nothing.
            m_stage = Stage::Scan;
            m_atLineStart = false;
            scan(byte);
            return;
        }
        m_stage = Stage::Blanks;
        [[fallthrough]];
    case Stage::Blanks:
        if (isBlank(byte)) {
            m_atLineStart = isLineBreak(byte);
            return;
        }
        if (!m_atLineStart) {
            m_stage = Stage::Scan; // text after blanks on its line: that line opens nothing
            return;
        }
        m_stage = Stage::FirstLine;
        m_lineStart = m_offset;
        classifyFirstLine(byte);
        return;
    case Stage::FirstLine:
        classifyFirstLine(byte);
        return;
    case Stage::Scan:
        scan(byte);
        return;
    case Stage::Decided:
        return;
    }
}

void MailboxStartCheck::classifyFirstLine(char byte)
{
    const std::uint64_t at = m_offset - m_lineStart;
    const bool maybeEnvelope = m_fromMatched == at && at < kEnvelope.size() && byte == kEnvelope[at];
    if (maybeEnvelope && ++m_fromMatched == kEnvelope.size()) {
        decide(MailboxContent::Mail);
        return;
    }
    if (m_maybeFieldName && byte == ':' && at > 0) {
        m_opensWithHeaderField = true;
        m_stage = Stage::Scan;
        m_atLineStart = false;
        m_fromMatched = 0;
        return;
    }
    m_maybeFieldName = m_maybeFieldName && isFieldNameByte(byte) && at < kMaxFieldNameBytes;
    if (maybeEnvelope || m_maybeFieldName)
        return;
    m_stage = Stage::Scan;
    m_atLineStart = false;
    m_fromMatched = 0;
    scan(byte);
}

void MailboxStartCheck::scan(char byte)
{
    if (isLineBreak(byte)) {
        m_atLineStart = true;
        m_fromMatched = 0;
        return;
    }
    if (!m_atLineStart)
        return;
    if (byte != kEnvelope[m_fromMatched]) {
        m_atLineStart = false;
        m_fromMatched = 0;
        return;
    }
    if (m_fromMatched == 0)
        m_lineStart = m_offset;
    if (++m_fromMatched < kEnvelope.size())
        return;
    if (m_opensWithHeaderField) {
        decide(MailboxContent::HeaderBlockFirst);
        return;
    }
    m_result.firstEnvelopeLine = m_lineStart;
    decide(MailboxContent::LeadingText);
}

void MailboxStartCheck::decide(MailboxContent content, std::string_view reason)
{
    m_result.content = content;
    m_result.reason = reason;
    m_stage = Stage::Decided;
}

MailboxStart MailboxStartCheck::result() const
{
    switch (m_stage) {
    case Stage::Decided:
        return m_result;
    case Stage::Mark:
        // A cut-off byte-order mark is text.
        if (m_markMatched > 0)
            return {MailboxContent::NotAMailbox, 0, kNoMessageReason};
        return {};
    case Stage::Blanks:
        return {};
    case Stage::FirstLine:
        // Ended before it showed an envelope line or a header field.
        return {MailboxContent::NotAMailbox, 0, kNoMessageReason};
    case Stage::Scan:
        if (m_opensWithHeaderField)
            return {MailboxContent::HeaderBlockFirst, 0, {}};
        return {MailboxContent::NotAMailbox, 0, kNoMessageReason};
    }
    return {};
}

MailboxStart classifyMailboxStart(std::string_view wholeFile)
{
    MailboxStartCheck check;
    check.feed(wholeFile);
    return check.result();
}

} // namespace tessaly
