#include "mailconverter/render/PlainTextPage.h"

#include "mailconverter/html/PlainTextHtml.h"
#include "mailconverter/html/ScriptFonts.h"

#include <algorithm>
#include <iterator>
#include <string>

namespace tessaly {
namespace {

constexpr double kPlainTextPoints = 9.5; // as the web engine's plain-text page

std::uint32_t quoteColour(int depth)
{
    const std::string_view hex = kQuoteColours[std::size_t(depth - 1) % std::size(kQuoteColours)];
    return std::uint32_t(std::stoul(std::string(hex.substr(1)), nullptr, 16));
}

/// Where to end a piece of `line` at most `limit` bytes long: not inside a UTF-8 sequence.
std::size_t pieceEnd(std::string_view line, std::size_t limit)
{
    if (line.size() <= limit)
        return line.size();
    std::size_t end = limit;
    while (end > 0 && (static_cast<unsigned char>(line[end]) & 0xC0) == 0x80)
        --end;
    return end > 0 ? end : limit;
}

void addLine(std::vector<TextParagraph> &paragraphs, std::string_view line)
{
    const int depth = quoteDepth(line);
    do {
        const std::size_t end = pieceEnd(line, kPrewrapAfterColumns);
        TextParagraph paragraph;
        paragraph.quoteLevel = std::min(depth, kMaxStyledDepth);
        paragraph.indentPoints = kQuoteIndentPt * paragraph.quoteLevel;
        TextRun run;
        run.text = std::string(line.substr(0, end));
        run.monospace = true;
        run.sizePoints = kPlainTextPoints;
        if (depth > 0)
            run.colour = quoteColour(depth);
        paragraph.runs.push_back(std::move(run));
        paragraphs.push_back(std::move(paragraph));
        line.remove_prefix(end);
    } while (!line.empty());
}

} // namespace

std::vector<TextParagraph> plainTextParagraphs(std::string_view text)
{
    std::vector<TextParagraph> paragraphs;
    while (!text.empty() && text.back() == '\n')
        text.remove_suffix(1);
    for (std::size_t start = 0; start <= text.size();) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        addLine(paragraphs, text.substr(start, end - start));
        start = end + 1;
    }
    return paragraphs;
}

std::string pageLanguageTag(const MailMessage &message)
{
    const std::optional<CjkLanguage> cjk = pageCjkLanguage(message);
    if (!cjk)
        return {};
    switch (*cjk) {
    case CjkLanguage::SimplifiedChinese:
        return "zh-CN";
    case CjkLanguage::TraditionalChinese:
        return "zh-TW";
    case CjkLanguage::Japanese:
        return "ja";
    case CjkLanguage::Korean:
        return "ko";
    }
    return {};
}

} // namespace tessaly
