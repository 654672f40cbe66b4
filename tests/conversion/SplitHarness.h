// Runs the two splitters without a conversion run, collecting the messages they finish.
#pragma once

#include "conversion/BlockSplitter.h"
#include "conversion/LineSplitter.h"
#include "conversion/MessageCollector.h"
#include "support/AppendStrings.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

namespace tessaly::testing {

/// Splits `mailbox` in line mode, fed in pieces of `pieceSize` bytes.
inline std::vector<std::string> splitInLineMode(std::string_view mailbox, std::size_t pieceSize = 1 << 20)
{
    std::vector<std::string> messages;
    AppendStrings text;
    MessageCollector collector(text, [&](const SplitMessage &message) { messages.emplace_back(message.text); });
    LineSplitter splitter(collector);
    for (std::size_t start = 0; start < mailbox.size(); start += pieceSize)
        splitter.feed(mailbox.substr(start, pieceSize));
    splitter.finish();
    return messages;
}

/// Splits `mailbox` in block mode, in blocks of `blockSize` bytes.
inline std::vector<std::string> splitInBlockMode(std::string_view mailbox,
                                                 std::size_t blockSize = BlockSplitter::kBlockSize)
{
    std::vector<std::string> messages;
    AppendStrings text;
    MessageCollector collector(text, [&](const SplitMessage &message) { messages.emplace_back(message.text); });
    BlockSplitter splitter(collector);
    for (std::size_t start = 0; start < mailbox.size(); start += blockSize)
        splitter.feedBlock(mailbox.substr(start, blockSize));
    splitter.finish();
    return messages;
}

} // namespace tessaly::testing
