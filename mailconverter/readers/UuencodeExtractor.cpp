#include "mailconverter/readers/UuencodeExtractor.h"

#include "mailconverter/readers/AttachmentNames.h"
#include "support/Utf8.h"

#include <algorithm>
#include <optional>

namespace tessaly {
namespace {

constexpr std::size_t kMaxDecodedBlocks = 1000;

struct Line
{
    std::string_view text; ///< without the line end
    std::size_t end;       ///< offset just past the line end
};

Line lineAt(std::string_view text, std::size_t start)
{
    std::size_t end = text.find('\n', start);
    std::size_t next = end == std::string_view::npos ? text.size() : end + 1;
    if (end == std::string_view::npos)
        end = text.size();
    std::string_view line = text.substr(start, end - start);
    if (line.ends_with('\r'))
        line.remove_suffix(1);
    return {line, next};
}

/// The name of a "begin <mode> <name>" line: mode is three or four octal digits.
std::optional<std::string_view> beginLineName(std::string_view line)
{
    if (!line.starts_with("begin "))
        return std::nullopt;
    line.remove_prefix(6);
    std::size_t digits = 0;
    while (digits < line.size() && line[digits] >= '0' && line[digits] <= '7')
        ++digits;
    if (digits < 3 || digits > 4 || digits >= line.size() || line[digits] != ' ')
        return std::nullopt;
    std::string_view name = line.substr(digits + 1);
    while (!name.empty() && (name.back() == ' ' || name.back() == '\t'))
        name.remove_suffix(1);
    if (name.empty())
        return std::nullopt;
    return name;
}

int sixBits(char c)
{
    const auto value = static_cast<unsigned char>(c);
    if (value < 0x20 || value > 0x60)
        return -1;
    return (value - 0x20) & 0x3F;
}

/// Appends one data line's bytes; false when the line is not one.
bool decodeLine(std::string_view line, std::string &out)
{
    while (!line.empty() && (line.back() == ' ' || line.back() == '\t'))
        line.remove_suffix(1); // some mailers strip or add trailing blanks; "`" stands for zero
    if (line.empty())
        return true; // a zero-length line written as a bare space, since stripped
    const int count = sixBits(line[0]);
    if (count < 0)
        return false;
    const std::size_t needed = (static_cast<std::size_t>(count) + 2) / 3 * 4;
    // Encoders that pad with spaces lose them to trailing-blank stripping: treat missing as 0.
    std::string_view data = line.substr(1);
    if (data.size() > needed + 1) // one extra character is an old per-line checksum
        return false;
    for (std::size_t group = 0; group * 4 < needed; ++group) {
        int bits[4];
        for (int i = 0; i < 4; ++i) {
            const std::size_t at = group * 4 + i;
            bits[i] = at < data.size() ? sixBits(data[at]) : 0;
            if (bits[i] < 0)
                return false;
        }
        const unsigned value = (bits[0] << 18) | (bits[1] << 12) | (bits[2] << 6) | bits[3];
        const char bytes[3] = {static_cast<char>(value >> 16), static_cast<char>((value >> 8) & 0xFF),
                               static_cast<char>(value & 0xFF)};
        const std::size_t take = std::min<std::size_t>(3, count - group * 3);
        out.append(bytes, take);
    }
    return true;
}

/// Decodes the block whose begin line ends at `dataStart`. Returns the offset past its "end"
/// line, or nullopt when the block is malformed or too large.
std::optional<std::size_t> decodeBlock(std::string_view text, std::size_t dataStart, std::string &bytes)
{
    std::size_t at = dataStart;
    // Encoders end the data with a zero-length line; requiring it keeps prose that happens
    // to decode from being taken for a block.
    bool sawZeroLengthLine = false;
    while (at < text.size()) {
        const Line line = lineAt(text, at);
        if (line.text == "end" || line.text == "end ")
            return sawZeroLengthLine ? std::optional<std::size_t>(line.end) : std::nullopt;
        const std::size_t before = bytes.size();
        if (sawZeroLengthLine || !decodeLine(line.text, bytes) || bytes.size() > kMaxUudecodedBytes)
            return std::nullopt;
        sawZeroLengthLine = bytes.size() == before;
        at = line.end;
    }
    return std::nullopt;
}

} // namespace

UuencodeExtraction extractUuencodedFiles(std::string_view text)
{
    UuencodeExtraction result;
    std::size_t copiedUpTo = 0;
    std::size_t at = 0;
    while (at < text.size()) {
        const Line line = lineAt(text, at);
        const std::optional<std::string_view> name = beginLineName(line.text);
        if (!name || result.attachments.size() >= kMaxDecodedBlocks) {
            at = line.end;
            continue;
        }
        std::string bytes;
        const std::optional<std::size_t> blockEnd = decodeBlock(text, line.end, bytes);
        if (!blockEnd) {
            at = line.end;
            continue;
        }
        result.text.append(text.substr(copiedUpTo, at - copiedUpTo));
        ExtractedAttachment file;
        file.declaredName = toValidUtf8(*name);
        file.mimeType = mimeTypeForFileName(file.declaredName);
        file.bytes = std::move(bytes);
        result.attachments.push_back(std::move(file));
        copiedUpTo = at = *blockEnd;
    }
    result.text.append(text.substr(copiedUpTo));
    return result;
}

} // namespace tessaly
