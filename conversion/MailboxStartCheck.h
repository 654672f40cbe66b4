// What the start of a file says it holds: a mailbox, a message saved alone, or no mail at all.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tessaly {

/// How far into a file binary bytes make it no mail.
inline constexpr std::uint64_t kBinaryCheckBytes = 64 * 1024;

/// What the start of a file says it holds.
enum class MailboxContent
{
    Mail,             ///< its first line is an envelope ("From ") line
    HeaderBlockFirst, ///< it opens with a header field: its first message has no envelope line
    LeadingText,      ///< other text, then an envelope line: the messages start there
    Empty,            ///< nothing, or white space only: an empty mailbox
    NotAMailbox,      ///< binary data, or text that holds no message
};

struct MailboxStart
{
    MailboxContent content = MailboxContent::Empty;
    /// For LeadingText: where the first envelope line starts; the bytes before it are the
    /// leading text.
    std::uint64_t firstEnvelopeLine = 0;
    /// For NotAMailbox: why, as the user is told it.
    std::string_view reason;
};

/// The rule for what is mail. After an optional UTF-8 byte-order mark and blank lines:
/// - a first line that starts with "From " opens a mailbox;
/// - a first line that is a header field ("Name: value") opens a message saved without its
///   envelope line: it, and what follows up to the first envelope line, is the first message;
/// - other text counts only when an envelope line follows somewhere: it is leading text.
/// Before the first envelope line, a NUL or another control byte that no mail text holds
/// within the first kBinaryCheckBytes makes the file binary, not mail. A file of nothing or
/// white space only is an empty mailbox, as mail clients keep empty folders (Trash, Drafts) as
/// 0-byte files. Bytes are fed in pieces of any size; the check decides as soon as it can.
class MailboxStartCheck
{
public:
    /// The next bytes of the file, from its start.
    void feed(std::string_view bytes);
    /// Whether more bytes could not change the result.
    bool isDecided() const { return m_stage == Stage::Decided; }
    /// The result once the file has ended (or the check is decided).
    MailboxStart result() const;

private:
    enum class Stage
    {
        Mark,      ///< matching a byte-order mark
        Blanks,    ///< white space before the first text
        FirstLine, ///< the first line with text, until it shows what it is
        Scan,      ///< looking for the first envelope line
        Decided,
    };

    void step(char byte);
    /// The first line's next byte: decides whether it is an envelope line or a header field.
    void classifyFirstLine(char byte);
    void scan(char byte);
    void decide(MailboxContent content, std::string_view reason = {});

    Stage m_stage = Stage::Mark;
    std::uint64_t m_offset = 0; ///< of the byte being looked at
    std::size_t m_markMatched = 0;
    bool m_atLineStart = true;
    /// Bytes of "From " matched at the current line's start.
    std::size_t m_fromMatched = 0;
    std::uint64_t m_lineStart = 0;
    /// The first line so far could still be a header field's name.
    bool m_maybeFieldName = true;
    bool m_opensWithHeaderField = false;
    MailboxStart m_result;
};

/// The check over bytes held in memory, taken as the whole file.
MailboxStart classifyMailboxStart(std::string_view wholeFile);

} // namespace tessaly
