#include "mailconverter/mime/Iso2022JpDecoding.h"

#include <string>

namespace tessaly {

namespace {

constexpr char kEscape = '\x1b';
constexpr char kShiftOut = '\x0e';
constexpr char kShiftIn = '\x0f';
constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

enum class Mode
{
    Ascii,
    Katakana, ///< JIS X 0201 katakana, one byte each
    Jis0208,  ///< two bytes each, with the NEC and IBM rows of CP932
    Jis0212,  ///< two bytes each, supplementary kanji
    Unknown   ///< after an escape sequence we do not read: every byte is bad
};

bool isJisByte(unsigned char b)
{
    return b >= 0x21 && b <= 0x7E;
}

// A JIS X 0208 row and cell (0x21-0x7E each) as the two CP932 bytes that hold the same
// character; CP932 places the NEC row 13 and the IBM rows 89 to 92 at the same rows.
void appendShiftJis(std::string &out, unsigned char row, unsigned char cell)
{
    const auto lead = static_cast<unsigned char>(((row + 1) >> 1) + (row <= 0x5E ? 0x70 : 0xB0));
    unsigned char trail = 0;
    if (row & 1)
        trail = static_cast<unsigned char>(cell + (cell >= 0x60 ? 0x20 : 0x1F));
    else
        trail = static_cast<unsigned char>(cell + 0x7E);
    out += static_cast<char>(lead);
    out += static_cast<char>(trail);
}

// Collects bytes for one converter at a time and hands each run to it.
class Output
{
public:
    void add(std::string_view converterLabel, std::string_view bytes)
    {
        if (converterLabel != m_label)
            flush();
        m_label = converterLabel;
        m_pending += bytes;
    }
    void addBad()
    {
        flush();
        m_result.text += kReplacement;
        ++m_result.badPlaces;
    }
    CharsetConversion finish()
    {
        flush();
        m_result.known = true;
        return std::move(m_result);
    }

private:
    void flush()
    {
        if (m_pending.empty())
            return;
        const CharsetConversion run = convertCharset(m_pending, m_label);
        m_result.text += run.text;
        m_result.badPlaces += run.badPlaces;
        m_pending.clear();
    }

    std::string_view m_label;
    std::string m_pending;
    CharsetConversion m_result;
};

// The mode an escape sequence at `at` selects, and its length; length 0 when it is no
// complete sequence.
std::pair<Mode, std::size_t> readEscape(std::string_view bytes, std::size_t at)
{
    const std::string_view rest = bytes.substr(at);
    struct Sequence
    {
        std::string_view bytes;
        Mode mode;
    };
    static constexpr Sequence kSequences[] = {
        {"\x1b(B", Mode::Ascii},         {"\x1b(J", Mode::Ascii},    {"\x1b(H", Mode::Ascii},
        {"\x1b(I", Mode::Katakana},      {"\x1b$@", Mode::Jis0208},  {"\x1b$B", Mode::Jis0208},
        {"\x1b&@\x1b$B", Mode::Jis0208}, {"\x1b$(B", Mode::Jis0208}, {"\x1b$(D", Mode::Jis0212},
    };
    for (const Sequence &sequence : kSequences) {
        if (rest.starts_with(sequence.bytes))
            return {sequence.mode, sequence.bytes.size()};
    }
    // ISO 2022: intermediate bytes 0x20-0x2F, then one final byte 0x30-0x7E.
    std::size_t length = 1;
    while (length < rest.size() && rest[length] >= 0x20 && rest[length] <= 0x2F)
        ++length;
    if (length > 1 && length < rest.size() && rest[length] >= 0x30 && rest[length] <= 0x7E)
        return {Mode::Unknown, length + 1};
    return {Mode::Unknown, 0};
}

} // namespace

bool isIso2022JpLabel(std::string_view label)
{
    return label == "iso-2022-jp" || label == "csiso2022jp" || label == "iso2022jp" || label == "cp50220" ||
           label == "cp50221" || label == "cp50222";
}

CharsetConversion decodeIso2022Jp(std::string_view bytes)
{
    Output out;
    Mode mode = Mode::Ascii;
    bool shifted = false; // between SO and SI: katakana whatever the mode
    std::size_t i = 0;
    while (i < bytes.size()) {
        const char c = bytes[i];
        const auto b = static_cast<unsigned char>(c);
        if (c == kEscape) {
            const auto [selected, length] = readEscape(bytes, i);
            if (length == 0) {
                out.addBad();
                ++i;
                continue;
            }
            if (selected == Mode::Unknown)
                out.addBad();
            mode = selected;
            i += length;
            continue;
        }
        if (c == kShiftOut || c == kShiftIn) {
            shifted = c == kShiftOut;
            ++i;
            continue;
        }
        if (b >= 0x80) {
            out.addBad();
            ++i;
            continue;
        }
        const Mode current = shifted ? Mode::Katakana : mode;
        if (!isJisByte(b) || current == Mode::Ascii) {
            // Controls, line ends and spaces stand for themselves in every mode.
            out.add("cp932", bytes.substr(i, 1));
            ++i;
            continue;
        }
        switch (current) {
        case Mode::Katakana:
            if (b <= 0x5F)
                out.add("cp932", std::string(1, static_cast<char>(b + 0x80)));
            else
                out.addBad();
            ++i;
            break;
        case Mode::Jis0208:
        case Mode::Jis0212: {
            if (i + 1 >= bytes.size() || !isJisByte(static_cast<unsigned char>(bytes[i + 1]))) {
                out.addBad();
                ++i;
                break;
            }
            const auto cell = static_cast<unsigned char>(bytes[i + 1]);
            std::string pair;
            if (current == Mode::Jis0208) {
                appendShiftJis(pair, b, cell);
                out.add("cp932", pair);
            } else {
                pair = {'\x8f', static_cast<char>(b | 0x80), static_cast<char>(cell | 0x80)};
                out.add("euc-jp", pair);
            }
            i += 2;
            break;
        }
        case Mode::Unknown:
            out.addBad();
            ++i;
            break;
        case Mode::Ascii:
            break;
        }
    }
    return out.finish();
}

} // namespace tessaly
