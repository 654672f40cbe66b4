#include "mailconverter/mime/FlowedText.h"

#include <vector>

namespace tessaly {

namespace {

struct FlowedLine
{
    int depth = 0;
    std::string_view content;
};

FlowedLine splitQuote(std::string_view line)
{
    FlowedLine result;
    std::size_t i = 0;
    while (i < line.size() && line[i] == '>')
        ++i;
    result.depth = static_cast<int>(i);
    line.remove_prefix(i);
    // RFC 3676 4.4: one leading space is stuffing, added by the sender.
    if (!line.empty() && line.front() == ' ')
        line.remove_prefix(1);
    result.content = line;
    return result;
}

bool isSignatureSeparator(std::string_view content)
{
    return content == "-- ";
}

void emitLine(std::string &out, int depth, const std::string &text)
{
    if (depth > 0) {
        out.append(static_cast<std::size_t>(depth), '>');
        out += ' ';
    }
    out += text;
    out += '\n';
}

} // namespace

std::string reflowFlowedText(std::string_view text, bool delSp)
{
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) {
            if (start < text.size())
                lines.push_back(text.substr(start));
            break;
        }
        std::string_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        lines.push_back(line);
        start = end + 1;
    }

    std::string out;
    out.reserve(text.size());
    std::string paragraph;
    int paragraphDepth = -1;
    for (std::string_view raw : lines) {
        const FlowedLine line = splitQuote(raw);
        if (paragraphDepth >= 0 && line.depth != paragraphDepth) {
            // A change of quote depth ends the paragraph even after a soft break.
            emitLine(out, paragraphDepth, paragraph);
            paragraph.clear();
            paragraphDepth = -1;
        }
        paragraphDepth = line.depth;
        const bool flowed = !line.content.empty() && line.content.back() == ' ' && !isSignatureSeparator(line.content);
        if (flowed) {
            std::string_view content = line.content;
            if (delSp)
                content.remove_suffix(1);
            paragraph += content;
            continue;
        }
        paragraph += line.content;
        emitLine(out, paragraphDepth, paragraph);
        paragraph.clear();
        paragraphDepth = -1;
    }
    if (paragraphDepth >= 0)
        emitLine(out, paragraphDepth, paragraph);
    return out;
}

} // namespace tessaly
