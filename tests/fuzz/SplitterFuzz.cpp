// Feeds arbitrary mailboxes to both splitters: they must agree, and the messages joined back
// must give the input, with every line break as CR LF and a blank preamble dropped.
#include "conversion/BlockSplitter.h"
#include "conversion/LineSplitter.h"
#include "conversion/MessageCollector.h"
#include "support/AppendStrings.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

using namespace tessaly;

namespace {

std::vector<std::string> split(std::string_view mailbox, bool blockMode, std::size_t pieceSize)
{
    std::vector<std::string> messages;
    AppendStrings text;
    MessageCollector collector(text, [&](const SplitMessage &message) { messages.emplace_back(message.text); });
    if (blockMode) {
        BlockSplitter splitter(collector);
        for (std::size_t start = 0; start < mailbox.size(); start += pieceSize)
            splitter.feedBlock(mailbox.substr(start, pieceSize));
        splitter.finish();
    } else {
        LineSplitter splitter(collector);
        for (std::size_t start = 0; start < mailbox.size(); start += pieceSize)
            splitter.feed(mailbox.substr(start, pieceSize));
        splitter.finish();
    }
    return messages;
}

std::string withCrLfLineBreaks(std::string_view input)
{
    std::string normal;
    for (std::size_t i = 0; i < input.size(); ++i) {
        if (input[i] == '\r') {
            normal += "\r\n";
            if (i + 1 < input.size() && input[i + 1] == '\n')
                ++i;
        } else if (input[i] == '\n') {
            normal += "\r\n";
        } else {
            normal += input[i];
        }
    }
    if (!normal.empty() && normal.back() != '\n')
        normal += "\r\n";
    return normal;
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

void check(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 1)
        return 0;
    // The first byte chooses how the block reader cuts the input, so cuts land everywhere.
    const std::size_t pieceSize = 1 + data[0] % 64;
    const std::string_view mailbox(reinterpret_cast<const char *>(data) + 1, size - 1);

    const std::vector<std::string> lineMessages = split(mailbox, false, 1 << 20);
    check(lineMessages == split(mailbox, true, BlockSplitter::kBlockSize));
    check(lineMessages == split(mailbox, true, pieceSize));
    check(lineMessages == split(mailbox, false, pieceSize));

    std::string joined;
    for (const std::string &message : lineMessages)
        joined += message;
    const std::string expected = withCrLfLineBreaks(mailbox);
    check(expected.size() >= joined.size());
    const std::string_view dropped = std::string_view(expected).substr(0, expected.size() - joined.size());
    check(std::string_view(expected).substr(dropped.size()) == joined);
    for (char c : dropped)
        check(isBlank(c));
    return 0;
}
