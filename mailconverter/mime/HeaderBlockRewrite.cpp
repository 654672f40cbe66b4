#include "mailconverter/mime/HeaderBlockRewrite.h"

#include "mailconverter/mime/HeaderBlockScan.h"
#include "mailconverter/mime/HeaderDecoding.h"
#include "support/Utf8.h"

namespace tessaly {

namespace {

// What goes in front of a body that starts at a misplaced line: the end of the header block,
// or, when there is no header at all, the type RFC 2045 gives a part without one.
std::string_view headerBlockEnd(std::size_t bodyStart)
{
    return bodyStart == 0 ? std::string_view("Content-Type: text/plain\n\n") : std::string_view("\n");
}

} // namespace

std::optional<HeaderBlockRewrite> rewriteHeaderBlock(std::string_view head)
{
    const HeaderBlockScan scan = scanHeaderBlock(head, false);
    if (!scan.bodyStart && !scan.blockEnd)
        return std::nullopt;
    const std::optional<std::size_t> &bodyStart = scan.bodyStart;
    HeaderBlockRewrite rewrite;
    rewrite.replaced = scan.scanned;
    for (const HeaderBlockField &field : scan.fields) {
        const std::string_view whole = head.substr(field.begin, field.end - field.begin);
        const std::string_view name = whole.substr(0, field.nameEnd);
        const std::string_view value = whole.substr(whole.find(':') + 1);
        if (!isKeptFromGMime(name, value)) {
            rewrite.front += whole;
            continue;
        }
        rewrite.setAside.emplace_back(std::string(name), std::string(value));
        rewrite.front += std::string(name) + ":\n";
    }
    if (!bodyStart && rewrite.setAside.empty() && scan.skippedBlankLine == 0)
        return std::nullopt;
    if (bodyStart)
        rewrite.front += headerBlockEnd(*bodyStart);
    return rewrite;
}

} // namespace tessaly
