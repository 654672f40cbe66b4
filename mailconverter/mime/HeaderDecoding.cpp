#include "mailconverter/mime/HeaderDecoding.h"

#include "mailconverter/mime/CharsetDecoding.h"
#include "support/TextHelpers.h"
#include "support/Utf8.h"

#include <gmime/gmime.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <vector>

namespace tessaly {

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

std::string decodeQ(std::string_view text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '_') {
            out += ' ';
        } else if (c == '=' && i + 2 < text.size() && hexDigitValue(text[i + 1]) >= 0 &&
                   hexDigitValue(text[i + 2]) >= 0) {
            out += static_cast<char>(hexDigitValue(text[i + 1]) * 16 + hexDigitValue(text[i + 2]));
            i += 2;
        } else {
            out += c;
        }
    }
    return out;
}

int base64Value(char c)
{
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+' || c == '-')
        return 62;
    if (c == '/' || c == '_')
        return 63;
    return -1;
}

// Tolerates missing padding and stray characters, which real mail has.
std::string decodeB(std::string_view text)
{
    std::string out;
    unsigned buffer = 0;
    int bits = 0;
    for (char c : text) {
        if (c == '=')
            break;
        const int value = base64Value(c);
        if (value < 0)
            continue;
        buffer = (buffer << 6) | static_cast<unsigned>(value);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out += static_cast<char>((buffer >> bits) & 0xFF);
        }
    }
    return out;
}

struct EncodedWord
{
    std::size_t begin = 0;
    std::size_t end = 0; ///< one past the closing "?="
    std::string charset;
    std::string bytes;
};

// Finds encoded words ("=?charset?X?text?=") left to right. The next "?=" and the next
// blank are remembered across calls, so a header full of unterminated "=?" is still read
// in one pass rather than searched to its end from every "=?".
class EncodedWordScanner
{
public:
    explicit EncodedWordScanner(std::string_view text) : m_text(text) {}

    /// The next encoded word at or after `from`; `from` must not decrease between calls.
    std::optional<EncodedWord> next(std::size_t from)
    {
        while (true) {
            const std::size_t begin = m_text.find("=?", from);
            if (begin == std::string_view::npos)
                return std::nullopt;
            // The charset ends at the next '?', which lies before the next "=?" or is its own.
            const std::size_t q1 = m_text.find('?', begin + 2);
            if (q1 == std::string_view::npos)
                return std::nullopt;
            if (q1 + 2 < m_text.size() && m_text[q1 + 2] == '?') {
                const char encoding = static_cast<char>(std::toupper(static_cast<unsigned char>(m_text[q1 + 1])));
                const std::size_t close = closeAtOrAfter(q1 + 3);
                if (close == std::string_view::npos)
                    return std::nullopt; // no word can end anywhere after this point
                const std::string_view charset = m_text.substr(begin + 2, q1 - begin - 2);
                if ((encoding == 'Q' || encoding == 'B') && !charset.empty() &&
                    charset.find_first_of(" \t\r\n") == std::string_view::npos && blankAtOrAfter(q1 + 3) > close) {
                    const std::string_view payload = m_text.substr(q1 + 3, close - q1 - 3);
                    EncodedWord word;
                    word.begin = begin;
                    word.end = close + 2;
                    // RFC 2231 language suffix: "utf-8*en".
                    word.charset = std::string(charset.substr(0, charset.find('*')));
                    word.bytes = encoding == 'Q' ? decodeQ(payload) : decodeB(payload);
                    return word;
                }
            }
            from = begin + 2;
        }
    }

private:
    std::size_t closeAtOrAfter(std::size_t at)
    {
        if (m_close == kUnknown || (m_close != std::string_view::npos && m_close < at))
            m_close = m_text.find("?=", at);
        return m_close;
    }
    std::size_t blankAtOrAfter(std::size_t at)
    {
        if (m_blank == kUnknown || (m_blank != std::string_view::npos && m_blank < at))
            m_blank = m_text.find_first_of(" \t\r\n", at);
        return m_blank;
    }

    static constexpr std::size_t kUnknown = std::string_view::npos - 1;
    std::string_view m_text;
    std::size_t m_close = kUnknown;
    std::size_t m_blank = kUnknown;
};

bool sameCharset(const std::string &a, const std::string &b)
{
    return equalsIgnoringAsciiCase(a, b);
}

std::optional<MailDate> fromGDateTime(GDateTime *dateTime)
{
    if (!dateTime)
        return std::nullopt;
    MailDate date;
    date.utcSeconds = g_date_time_to_unix(dateTime);
    date.offsetMinutes = static_cast<int>(g_date_time_get_utc_offset(dateTime) / G_TIME_SPAN_MINUTE);
    g_date_time_unref(dateTime);
    return date;
}

bool isTokenCharacter(char c)
{
    const auto u = static_cast<unsigned char>(c);
    return u > 32 && u < 127 && std::string_view("()<>@,;:\\\"/[]?=").find(c) == std::string_view::npos;
}

} // namespace

bool isKeptFromGMime(std::string_view name, std::string_view value)
{
    if (equalsIgnoringAsciiCase(name, "Content-Type"))
        return false;
    std::size_t starts = 0;
    for (std::size_t at = value.find("=?"); at != std::string_view::npos; at = value.find("=?", at + 2)) {
        if (++starts > kMaxEncodedWordStartsForGMime)
            return true;
    }
    return false;
}

std::string unfoldHeader(std::string_view raw)
{
    std::string out;
    out.reserve(raw.size());
    for (std::size_t i = 0; i < raw.size(); ++i) {
        const char c = raw[i];
        if (c == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n')
            continue; // handled with the LF
        if (c == '\n' && (i + 1 == raw.size() || isBlank(raw[i + 1])))
            continue; // a fold, or the header's own line end
        out += c;
    }
    while (!out.empty() && (out.back() == '\r' || out.back() == '\n'))
        out.pop_back();
    return out;
}

namespace {

// Splits unfolded header text into plain runs (passed raw to `onText`) and runs of encoded
// words (decoded to UTF-8 and passed to `onWords`). Bytes of consecutive encoded words in
// one charset are converted together, so that a character split across two words comes
// out whole; blanks between encoded words are dropped (RFC 2047 6.2).
template <typename OnText, typename OnWords> void walkEncodedText(std::string_view text, OnText onText, OnWords onWords)
{
    std::size_t pos = 0;
    std::string pendingCharset;
    std::string pendingBytes;
    bool lastWasEncodedWord = false;
    auto flushPending = [&] {
        if (!pendingBytes.empty())
            onWords(decodeToUtf8(pendingBytes, pendingCharset));
        pendingBytes.clear();
        pendingCharset.clear();
    };
    EncodedWordScanner scanner(text);
    while (pos < text.size()) {
        std::optional<EncodedWord> word = scanner.next(pos);
        if (!word) {
            flushPending();
            onText(text.substr(pos));
            break;
        }
        const std::string_view between = text.substr(pos, word->begin - pos);
        const bool onlyBlanks = between.find_first_not_of(" \t") == std::string_view::npos;
        if (!(lastWasEncodedWord && onlyBlanks)) {
            flushPending();
            onText(between);
        } else if (!sameCharset(pendingCharset, word->charset)) {
            flushPending();
        }
        if (pendingBytes.empty())
            pendingCharset = word->charset;
        pendingBytes += word->bytes;
        lastWasEncodedWord = true;
        pos = word->end;
    }
    flushPending();
}

} // namespace

std::string decodeHeaderText(std::string_view raw, std::string_view declaredCharset)
{
    const std::string text = unfoldHeader(raw);
    std::string out;
    walkEncodedText(
        text, [&](std::string_view plain) { out += decodeHeaderBytes(plain, declaredCharset); },
        [&](const std::string &decoded) { out += decoded; });
    return out;
}

std::string reencodeEncodedWords(std::string_view raw, std::string_view declaredCharset)
{
    const std::string text = unfoldHeader(raw);
    std::string out;
    walkEncodedText(
        text, [&](std::string_view plain) { out += decodeHeaderBytes(plain, declaredCharset); },
        [&](const std::string &decoded) {
            gchar *base64 = g_base64_encode(reinterpret_cast<const guchar *>(decoded.data()), decoded.size());
            if (out.size() >= 2 && out.compare(out.size() - 2, 2, "?=") == 0)
                out += ' ';
            out += "=?UTF-8?B?";
            out += base64;
            out += "?=";
            g_free(base64);
        });
    return out;
}

std::string firstCjkEncodedWordCharset(std::string_view raw)
{
    const std::string text = unfoldHeader(raw);
    EncodedWordScanner scanner(text);
    for (std::optional<EncodedWord> word = scanner.next(0); word; word = scanner.next(word->end)) {
        if (isCjkCharset(word->charset))
            return word->charset;
    }
    return {};
}

std::optional<MailDate> parseHeaderDate(std::string_view text)
{
    const std::string value = unfoldHeader(text);
    if (value.find_first_not_of(" \t") == std::string::npos)
        return std::nullopt;
    return fromGDateTime(g_mime_utils_header_decode_date(value.c_str()));
}

std::optional<MailDate> parseEnvelopeDate(std::string_view fromLine)
{
    while (!fromLine.empty() && (fromLine.back() == '\r' || fromLine.back() == '\n'))
        fromLine.remove_suffix(1);
    if (fromLine.substr(0, 5) != "From ")
        return std::nullopt;
    // The date follows the sender; start at its weekday so that an address with spaces
    // does not matter.
    static constexpr std::array<std::string_view, 7> kWeekdays = {"Mon ", "Tue ", "Wed ", "Thu ",
                                                                  "Fri ", "Sat ", "Sun "};
    std::size_t start = std::string_view::npos;
    for (std::string_view day : kWeekdays) {
        const std::size_t at = fromLine.find(day, 5);
        if (at != std::string_view::npos && (start == std::string_view::npos || at < start))
            start = at;
    }
    if (start == std::string_view::npos) {
        const std::size_t space = fromLine.find(' ', 5);
        if (space == std::string_view::npos)
            return std::nullopt;
        start = space + 1;
    }
    return parseHeaderDate(fromLine.substr(start));
}

std::optional<MailDate> parseReceivedDate(std::string_view receivedValue)
{
    const std::string value = unfoldHeader(receivedValue);
    const std::size_t semicolon = value.rfind(';');
    if (semicolon == std::string::npos)
        return std::nullopt;
    return parseHeaderDate(std::string_view(value).substr(semicolon + 1));
}

bool isParseableMediaType(std::string_view value)
{
    value = value.substr(0, value.find(';'));
    const std::size_t slash = value.find('/');
    if (slash == std::string_view::npos)
        return false;
    std::string_view type = value.substr(0, slash);
    std::string_view subtype = value.substr(slash + 1);
    while (!type.empty() && std::isspace(static_cast<unsigned char>(type.back())))
        type.remove_suffix(1);
    while (!subtype.empty() && std::isspace(static_cast<unsigned char>(subtype.front())))
        subtype.remove_prefix(1);
    return !type.empty() && std::all_of(type.begin(), type.end(), isTokenCharacter) && !subtype.empty() &&
           isTokenCharacter(subtype.front());
}

} // namespace tessaly
