#include "mailconverter/mime/HeaderBlockScan.h"

#include <algorithm>

namespace tessaly {

namespace {

std::string_view withoutCarriageReturn(std::string_view line)
{
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    return line;
}

// Where a field's name ends in `text`, when the line starts a field ("Name:"); 0 otherwise.
std::size_t fieldNameEnd(std::string_view text)
{
    std::size_t nameEnd = 0;
    while (nameEnd < text.size() && text[nameEnd] != ':' && static_cast<unsigned char>(text[nameEnd]) > 32 &&
           static_cast<unsigned char>(text[nameEnd]) < 127)
        ++nameEnd;
    std::size_t colon = nameEnd;
    while (colon < text.size() && (text[colon] == ' ' || text[colon] == '\t'))
        ++colon;
    return nameEnd > 0 && colon < text.size() && text[colon] == ':' ? nameEnd : 0;
}

// Some senders put one line of white space before the header block; clients read the
// headers after it. It is skipped only when a field follows it, so that a message without
// headers keeps its first line as body text.
std::size_t blankFirstLineLength(std::string_view head)
{
    const std::size_t end = head.find('\n');
    if (end == std::string_view::npos ||
        withoutCarriageReturn(head.substr(0, end)).find_first_not_of(" \t") != std::string_view::npos)
        return 0;
    const std::size_t nextEnd = std::min(head.find('\n', end + 1), head.size());
    return fieldNameEnd(withoutCarriageReturn(head.substr(end + 1, nextEnd - end - 1))) > 0 ? end + 1 : 0;
}

} // namespace

HeaderBlockScan scanHeaderBlock(std::string_view head, bool lastLineCounts)
{
    HeaderBlockScan scan;
    scan.skippedBlankLine = blankFirstLineLength(head);
    std::size_t line = scan.skippedBlankLine;
    while (!scan.blockEnd && !scan.bodyStart && line < head.size()) {
        std::size_t end = head.find('\n', line);
        if (end == std::string_view::npos) {
            if (!lastLineCounts)
                break;
            end = head.size();
        }
        const std::size_t next = end == head.size() ? end : end + 1;
        const std::string_view text = withoutCarriageReturn(head.substr(line, end - line));
        if (text.empty()) {
            // The end of the header block; at the very start, there is none.
            if (line == 0)
                scan.bodyStart = 0;
            else
                scan.blockEnd = line;
        } else if (line == 0 && (text.starts_with("From ") || text.starts_with(">From "))) {
            // A second envelope line, which GMime skips.
        } else if (text.front() == ' ' || text.front() == '\t') {
            if (scan.fields.empty() || text.find_first_not_of(" \t") == std::string_view::npos)
                scan.bodyStart = line;
            else
                scan.fields.back().end = next;
        } else {
            const std::size_t nameEnd = fieldNameEnd(text);
            if (nameEnd == 0)
                scan.bodyStart = line;
            else
                scan.fields.push_back(HeaderBlockField{line, nameEnd, next});
        }
        if (!scan.blockEnd && !scan.bodyStart)
            line = next;
    }
    scan.scanned = scan.bodyStart ? *scan.bodyStart : scan.blockEnd ? *scan.blockEnd : line;
    return scan;
}

} // namespace tessaly
