#include "conversion/MessageCollector.h"

#include <utility>

namespace tessaly {
namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

} // namespace

MessageCollector::MessageCollector(MessageSink sink, SpillFiles spill)
    : m_text(std::move(spill)), m_sink(std::move(sink))
{
    startNewText();
}

void MessageCollector::beginMessage(std::uint64_t offset)
{
    finishCurrent(false, offset);
    m_beforeFirstSeparator = false;
    m_messageOffset = offset;
}

void MessageCollector::append(std::string_view bytes)
{
    if (bytes.empty())
        return;
    if (m_beforeFirstSeparator && !m_preambleHasText) {
        for (char c : bytes) {
            if (!isBlank(c)) {
                m_preambleHasText = true;
                break;
            }
        }
    }
    m_text.append(bytes);
    hashRaw(bytes);
    m_endsWithLineBreak = false;
}

void MessageCollector::appendLineBreak(std::string_view rawBreak)
{
    m_text.append("\r\n");
    hashRaw(rawBreak);
    m_endsWithLineBreak = true;
}

void MessageCollector::appendRestOfLineBreak(std::string_view rawBytes)
{
    hashRaw(rawBytes);
}

void MessageCollector::endOfPiece()
{
    m_hash.add(m_unhashed);
    m_unhashed = {};
}

void MessageCollector::hashRaw(std::string_view bytes)
{
    if (bytes.empty())
        return;
    if (!m_unhashed.empty() && bytes.data() == m_unhashed.data() + m_unhashed.size()) {
        m_unhashed = std::string_view(m_unhashed.data(), m_unhashed.size() + bytes.size());
        return;
    }
    m_hash.add(m_unhashed);
    m_unhashed = bytes;
}

void MessageCollector::finish(std::uint64_t endOffset)
{
    finishCurrent(true, endOffset);
}

std::optional<SplitMessage> MessageCollector::messageInHand()
{
    if (m_text.empty() || (m_beforeFirstSeparator && !m_preambleHasText))
        return std::nullopt;
    return currentMessage(0, {});
}

SplitMessage MessageCollector::currentMessage(std::uint64_t length, std::string sha256)
{
    SplitMessage message{m_text.held(), nullptr, nullptr, m_messageOffset, length, std::move(sha256), {}};
    message.textFile = m_text.file();
    if (m_text.error())
        message.textError = &*m_text.error();
    return message;
}

void MessageCollector::finishCurrent(bool atEnd, std::uint64_t endOffset)
{
    if (m_text.empty())
        return;
    if (m_beforeFirstSeparator && !m_preambleHasText) {
        startNewText();
        return;
    }
    if (atEnd && !m_endsWithLineBreak)
        m_text.append("\r\n");
    ++m_finishedCount;
    endOfPiece();
    if (m_sink)
        m_sink(currentMessage(endOffset - m_messageOffset, m_hash.hexDigest()));
    startNewText();
}

void MessageCollector::startNewText()
{
    m_text.clear();
    m_hash = Sha256();
    m_unhashed = {};
    m_endsWithLineBreak = false;
}

} // namespace tessaly
