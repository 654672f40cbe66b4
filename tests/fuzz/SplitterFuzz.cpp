// Feeds arbitrary mailboxes to the mailbox reader in both modes: they must agree, each digest
// must be of the mailbox's bytes where its message lies, and the messages joined back must
// give the input, with every line break as CR LF and a blank preamble dropped.
#include "conversion/BlockSplitter.h"
#include "conversion/MailboxReader.h"
#include "support/Sha256.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

using namespace tessaly;

namespace {

struct Split
{
    std::vector<std::string> texts;
    std::vector<SplitMessage> places; ///< without their texts

    bool operator==(const Split &other) const
    {
        if (texts != other.texts || places.size() != other.places.size())
            return false;
        for (std::size_t i = 0; i < places.size(); ++i) {
            if (places[i].offset != other.places[i].offset || places[i].length != other.places[i].length ||
                places[i].sha256 != other.places[i].sha256)
                return false;
        }
        return true;
    }
};

/// Line mode is fed in pieces of `pieceSize`; block mode is fed whole, in blocks of it.
Split split(std::string_view mailbox, SplitMode mode, std::size_t pieceSize)
{
    Split result;
    const bool blockMode = mode == SplitMode::Block;
    MailboxReader reader(
        mode,
        [&](const SplitMessage &message) {
            result.texts.emplace_back(message.text);
            result.places.push_back(SplitMessage{
                .text = {}, .offset = message.offset, .length = message.length, .sha256 = message.sha256, .note = {}});
        },
        0, {}, blockMode ? pieceSize : BlockSplitter::kBlockSize);
    const std::size_t feedSize = blockMode ? mailbox.size() + 1 : pieceSize;
    for (std::size_t start = 0; start < mailbox.size(); start += feedSize)
        reader.feed(mailbox.substr(start, feedSize));
    reader.finish();
    return result;
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

    const Split lineSplit = split(mailbox, SplitMode::Line, 1 << 20);
    check(lineSplit == split(mailbox, SplitMode::Block, BlockSplitter::kBlockSize));
    check(lineSplit == split(mailbox, SplitMode::Block, pieceSize));
    check(lineSplit == split(mailbox, SplitMode::Line, pieceSize));

    // Each digest is of the mailbox's own bytes where the message lies.
    for (const SplitMessage &place : lineSplit.places) {
        check(place.offset + place.length <= mailbox.size());
        check(place.sha256 == sha256Hex(mailbox.substr(place.offset, place.length)));
    }

    std::string joined;
    for (const std::string &message : lineSplit.texts)
        joined += message;
    const std::string expected = withCrLfLineBreaks(mailbox);
    check(expected.size() >= joined.size());
    const std::string_view dropped = std::string_view(expected).substr(0, expected.size() - joined.size());
    check(std::string_view(expected).substr(dropped.size()) == joined);
    for (char c : dropped)
        check(isBlank(c));
    return 0;
}
