#include "mailconverter/mime/HeaderBlockScan.h"

namespace tessaly {

HeaderBlockScan scanHeaderBlock(std::string_view head, bool lastLineCounts)
{
    HeaderBlockScan scan;
    std::size_t line = 0;
    while (!scan.blockEnd && !scan.bodyStart && line < head.size()) {
        std::size_t end = head.find('\n', line);
        if (end == std::string_view::npos) {
            if (!lastLineCounts)
                break;
            end = head.size();
        }
        const std::size_t next = end == head.size() ? end : end + 1;
        std::string_view text = head.substr(line, end - line);
        if (!text.empty() && text.back() == '\r')
            text.remove_suffix(1);
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
            std::size_t nameEnd = 0;
            while (nameEnd < text.size() && text[nameEnd] != ':' && static_cast<unsigned char>(text[nameEnd]) > 32 &&
                   static_cast<unsigned char>(text[nameEnd]) < 127)
                ++nameEnd;
            std::size_t colon = nameEnd;
            while (colon < text.size() && (text[colon] == ' ' || text[colon] == '\t'))
                ++colon;
            if (nameEnd == 0 || colon >= text.size() || text[colon] != ':')
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
