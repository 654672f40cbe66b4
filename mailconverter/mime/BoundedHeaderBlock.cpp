#include "mailconverter/mime/BoundedHeaderBlock.h"

#include "mailconverter/mime/Base64Decoding.h"
#include "mailconverter/mime/HeaderBlockScan.h"
#include "support/TextHelpers.h"
#include "support/Utf8.h"

#include <algorithm>
#include <memory>

namespace tessaly {

namespace {

// Past this much of a block, a line that is no header field may have ended it already.
constexpr std::size_t kMaxHeaderBlockCheck = 8 * 1024 * 1024;
constexpr std::size_t kReadChunkBytes = 64 * 1024;
// RFC 2047 allows 75 characters; an open word this much shorter than the cut is left out whole.
constexpr std::size_t kMaxEncodedWordLeftOut = 4096;
// How many "=?" before the cut are tried as the start of the word it falls in.
constexpr int kEncodedWordStartsTried = 16;
// A cut field's name, as a warning names it.
constexpr std::size_t kMaxFieldNameBytes = 76;

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

std::string_view withoutLineEnd(std::string_view line)
{
    if (!line.empty() && line.back() == '\n')
        line.remove_suffix(1);
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    return line;
}

std::string fieldName(std::string_view field)
{
    std::string_view name = field.substr(0, std::min(field.find(':'), field.find('\n')));
    while (!name.empty() && (isBlank(name.back()) || name.back() == '\r'))
        name.remove_suffix(1);
    return toValidUtf8(firstBytes(name, kMaxFieldNameBytes));
}

/// How many bytes at the end of `bytes` start a UTF-8 character that does not end there.
std::size_t unfinishedCharacterBytes(std::string_view bytes)
{
    for (std::size_t back = 1; back <= std::min<std::size_t>(4, bytes.size()); ++back) {
        const auto byte = static_cast<unsigned char>(bytes[bytes.size() - back]);
        if (isContinuationByte(static_cast<char>(byte)))
            continue;
        const std::size_t length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
        return length > back ? back : 0;
    }
    return 0;
}

/// An RFC 2047 encoded word ("=?charset?B?text?=") that a cut falls in.
struct OpenEncodedWord
{
    std::size_t start = 0;     ///< its "=?"
    std::size_t textStart = 0; ///< past "=?charset?X?"; 0 when the cut falls before that
    char encoding = 0;         ///< 'B' or 'Q'
    bool isUtf8 = false;
};

bool isCharsetName(std::string_view name)
{
    return !name.empty() && name.size() <= 64 && name.find_first_of(" \t\r\n=()\"") == std::string_view::npos;
}

/// The encoded word that starts before `end` in `field` and is not closed by then, of those
/// that start at the last `tries` "=?" before it.
std::optional<OpenEncodedWord> encodedWordOpenAt(std::string_view field, std::size_t end,
                                                 int tries = kEncodedWordStartsTried)
{
    std::size_t start = end;
    while (tries-- > 0 && start >= 2) {
        start = field.rfind("=?", start - 2);
        if (start == std::string_view::npos)
            return std::nullopt;
        OpenEncodedWord word{start};
        const std::size_t charsetEnd = std::min(field.find('?', start + 2), end);
        const std::string_view charset = field.substr(start + 2, charsetEnd - start - 2);
        if (!isCharsetName(charset) && !(charset.empty() && charsetEnd == end))
            continue; // no word starts here
        // The cut falls in its charset or encoding, unless this "=?" is a base64 word's padding
        // and its "?=": that word is the one open.
        if (charsetEnd + 2 >= end)
            return encodedWordOpenAt(field, start, tries).value_or(word);
        if (field[charsetEnd + 2] != '?' ||
            std::string_view("BbQq").find(field[charsetEnd + 1]) == std::string_view::npos)
            continue;
        word.textStart = charsetEnd + 3;
        word.encoding = asciiLower(field[charsetEnd + 1]) == 'b' ? 'B' : 'Q';
        word.isUtf8 = equalsIgnoringAsciiCase(charset, "utf-8") || equalsIgnoringAsciiCase(charset, "utf8");
        const std::size_t close = field.find("?=", word.textStart);
        if (close != std::string_view::npos && close + 2 <= end)
            return std::nullopt;
        return word;
    }
    return std::nullopt;
}

/// Where a base64 word's text, closed by "?=" at `end`, ends at whole characters.
std::size_t base64WordEnd(std::string_view field, const OpenEncodedWord &word, std::size_t end)
{
    std::size_t length = end - 2 - word.textStart;
    length -= length % 4;
    if (!word.isUtf8 || length == 0)
        return word.textStart + length;
    // The last two quanta hold the last character's start.
    const std::size_t tailStart = length >= 8 ? length - 8 : 0;
    const std::string tail = decodeBase64(field.substr(word.textStart + tailStart, length - tailStart));
    const std::size_t bytes = length / 4 * 3 - unfinishedCharacterBytes(tail);
    // Our decoder reads a last quantum left open, so the bytes need no padding.
    return word.textStart + bytes / 3 * 4 + (bytes % 3 == 0 ? 0 : bytes % 3 + 1);
}

/// Where a quoted-printable word's text, closed by "?=" at `end`, ends at whole characters.
std::size_t quotedWordEnd(std::string_view field, const OpenEncodedWord &word, std::size_t end)
{
    std::size_t cut = end - 2;
    auto isEscapeAt = [&](std::size_t at) {
        return at >= word.textStart && at + 3 <= cut && field[at] == '=' && hexDigitValue(field[at + 1]) >= 0 &&
               hexDigitValue(field[at + 2]) >= 0;
    };
    if (cut > word.textStart && field[cut - 1] == '=')
        --cut;
    else if (cut >= word.textStart + 2 && field[cut - 2] == '=')
        cut -= 2;
    if (!word.isUtf8)
        return cut;
    // The last four characters, back to front, each one byte of the decoded text.
    std::size_t starts[4] = {};
    std::string bytes;
    for (std::size_t at = cut; bytes.size() < 4 && at > word.textStart;) {
        at -= at >= 3 && isEscapeAt(at - 3) ? 3 : 1;
        starts[bytes.size()] = at;
        bytes.insert(bytes.begin(), field[at] == '=' ? static_cast<char>(hexDigitValue(field[at + 1]) * 16 +
                                                                         hexDigitValue(field[at + 2]))
                                                     : field[at]);
    }
    const std::size_t unfinished = unfinishedCharacterBytes(bytes);
    return unfinished == 0 ? cut : starts[unfinished - 1];
}

/// Keeps the start of a field, chunk by chunk and line by line, up to the end of its header
/// block: a field is its first line and the continuation lines after it.
class HeaderBlockBounder
{
public:
    /// Takes the next bytes; false once the block has ended, the rest of `chunk` kept as it is.
    bool take(std::string_view chunk)
    {
        for (std::size_t pos = 0; pos < chunk.size();) {
            const std::size_t newline = chunk.find('\n', pos);
            const std::size_t end = newline == std::string_view::npos ? chunk.size() : newline + 1;
            const std::string_view piece = chunk.substr(pos, end - pos);
            pos = end;
            const bool isWholeLine = m_lineLength == 0 && newline != std::string_view::npos;
            m_lineLength += piece.size();
            if (!isWholeLine && m_line.size() <= kMaxHeaderFieldBytes)
                m_line.append(piece.substr(0, kMaxHeaderFieldBytes + 1 - m_line.size()));
            if (newline != std::string_view::npos && !endLine(isWholeLine ? piece : std::string_view(m_line))) {
                m_block.text.append(chunk.substr(pos));
                return false;
            }
        }
        return true;
    }

    /// The block, once the bytes have ended or take() said it had.
    BoundedHeaderBlock finish()
    {
        if (!m_ended && (m_lineLength == 0 || endLine(m_line))) {
            closeField();
            m_block.reachedEnd = true;
        }
        return std::move(m_block);
    }

private:
    /// Takes the line whose first kMaxHeaderFieldBytes + 1 bytes (or more) are `line`; false
    /// when it ends the block.
    bool endLine(std::string_view line)
    {
        const std::string_view content = withoutLineEnd(line);
        if (m_lineLength == line.size() && content.empty()) {
            closeField();
            m_block.text += line;
            return endBlock();
        }
        // A line of blanks alone ends the block too (HeaderBlockScan.h), so it is never skipped.
        const bool continues =
            !content.empty() && isBlank(content.front()) && content.find_first_not_of(" \t") != std::string_view::npos;
        if (!continues) {
            closeField();
            m_fieldStart = m_block.text.size();
            m_fieldLength = 0;
        }
        addLineToField(line);
        m_raw += m_lineLength;
        m_line.clear();
        m_lineLength = 0;
        if (m_checked || m_block.text.size() < kMaxHeaderBlockCheck)
            return true;
        m_checked = true;
        const HeaderBlockScan scan = scanHeaderBlock(m_block.text, false);
        if (!scan.bodyStart && !scan.blockEnd)
            return true;
        closeField();
        return endBlock();
    }

    bool endBlock()
    {
        m_ended = true;
        return false;
    }

    void addLineToField(std::string_view line)
    {
        if (m_cutName) {
            m_fieldLength += m_lineLength;
            return;
        }
        if (m_fieldLength + m_lineLength <= kMaxHeaderFieldBytes) {
            m_block.text += line;
            m_fieldLength += m_lineLength;
            return;
        }
        // Where the field is cut depends on its first kMaxHeaderFieldBytes bytes alone.
        m_block.text.append(line.substr(0, kMaxHeaderFieldBytes - m_fieldLength));
        const std::string_view field = std::string_view(m_block.text).substr(m_fieldStart);
        m_cutName = fieldName(field);
        std::string kept = cutHeaderField(field, kMaxHeaderFieldBytes - 1) + '\n';
        m_block.text.resize(m_fieldStart);
        m_block.text += kept;
        m_fieldLength += m_lineLength;
    }

    /// Records the field that ends here, should it have been cut.
    void closeField()
    {
        if (!m_cutName)
            return;
        m_block.cuts.push_back({{std::move(*m_cutName), m_fieldLength}, m_block.text.size(), m_raw});
        m_cutName.reset();
    }

    BoundedHeaderBlock m_block;
    std::string m_line;                   ///< a line chunks split: its first kMaxHeaderFieldBytes + 1 bytes
    std::uint64_t m_lineLength = 0;       ///< the line's bytes so far
    std::uint64_t m_raw = 0;              ///< the bytes of the lines before it
    std::size_t m_fieldStart = 0;         ///< where the field it belongs to starts in the text
    std::uint64_t m_fieldLength = 0;      ///< that field's bytes so far
    std::optional<std::string> m_cutName; ///< the field's name, once it was cut
    bool m_checked = false;               ///< whether the block was scanned at kMaxHeaderBlockCheck
    bool m_ended = false;
};

} // namespace

std::uint64_t BoundedHeaderBlock::rawOffset(std::size_t textOffset) const
{
    std::uint64_t offset = textOffset;
    for (const HeaderFieldCutPlace &cut : cuts) {
        if (cut.textEnd > textOffset)
            break;
        offset = cut.rawEnd + (textOffset - cut.textEnd);
    }
    return offset;
}

BoundedHeaderBlock readBoundedHeaderBlock(std::FILE *file)
{
    HeaderBlockBounder bounder;
    const std::unique_ptr<char[]> buffer = std::make_unique_for_overwrite<char[]>(kReadChunkBytes);
    for (;;) {
        const std::size_t read = std::fread(buffer.get(), 1, kReadChunkBytes, file);
        if (read == 0 || !bounder.take(std::string_view(buffer.get(), read)))
            break;
    }
    return bounder.finish();
}

std::string cutHeaderField(std::string_view field, std::size_t maxBytes)
{
    if (field.size() <= maxBytes)
        return std::string(field);
    std::size_t cut = characterBoundaryAtOrBefore(field, maxBytes);
    const std::optional<OpenEncodedWord> word = encodedWordOpenAt(field, maxBytes);
    if (word && (word->textStart == 0 || maxBytes - word->start <= kMaxEncodedWordLeftOut)) {
        cut = word->start;
    } else if (word) {
        const std::size_t end =
            word->encoding == 'B' ? base64WordEnd(field, *word, maxBytes) : quotedWordEnd(field, *word, maxBytes);
        return std::string(field.substr(0, end)) + "?=";
    }
    // The "=" of a word's "=?" alone would show as text.
    if (cut > 0 && cut == maxBytes && field[cut - 1] == '=' && field[cut] == '?')
        --cut;
    // The blanks and line break of a fold would be left with nothing to fold.
    while (cut > 0 && (isBlank(field[cut - 1]) || field[cut - 1] == '\r' || field[cut - 1] == '\n'))
        --cut;
    return std::string(field.substr(0, cut));
}

std::optional<HeaderBlockRewrite> rewriteBoundedHeaderBlock(const BoundedHeaderBlock &head, std::size_t skip,
                                                            HeaderBlockCuts &cuts)
{
    const std::string_view text = std::string_view(head.text).substr(skip);
    if (head.cuts.empty())
        return rewriteHeaderBlock(text);
    // A block the bytes end in ends with them.
    const std::string ended = head.reachedEnd ? std::string(text) + (text.ends_with('\n') ? "\n" : "\n\n") : "";
    const std::string_view block = head.reachedEnd ? std::string_view(ended) : text;
    std::optional<HeaderBlockRewrite> rewrite = rewriteHeaderBlock(block);
    const std::size_t end = rewrite ? rewrite->replaced : scanHeaderBlock(block, false).scanned;
    const std::size_t blockEnd = std::min(end, text.size());
    for (const HeaderFieldCutPlace &cut : head.cuts) {
        if (cut.textEnd <= skip + blockEnd)
            cuts.fields.push_back(cut.field);
    }
    if (cuts.fields.empty())
        return rewriteHeaderBlock(text);
    if (!rewrite)
        rewrite = HeaderBlockRewrite{std::string(block.substr(0, end)), end, {}};
    cuts.blockBytes = head.rawOffset(skip + blockEnd);
    rewrite->replaced = cuts.blockBytes - skip;
    return rewrite;
}

Result<std::string> readWholeHeaderBlock(const OpenFile &file, const MailMessage &message)
{
    std::string block(message.headerBlockBytes, '\0');
    Result<std::size_t> read = file.readAt(message.headerBlockOffset, block.data(), block.size());
    if (!read)
        return read.error();
    block.resize(read.value());
    return block;
}

} // namespace tessaly
