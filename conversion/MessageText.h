// The text of the message being split: in memory while it is short, in a file once it is long.
#pragma once

#include "support/AppendStrings.h"
#include "support/PendingFile.h"
#include "support/Result.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>

namespace tessaly {

/// Where the text of a message too long to hold in memory goes.
struct SpillFiles
{
    /// Makes the file for one message's text. Unset: every message is held whole in memory.
    std::function<Result<PendingFile>()> make;
    /// How much of a message is held in memory: all of a shorter one, the start of a longer
    /// one (more than naming reads of its header block).
    std::size_t heldBytes = std::size_t{4} << 20;
};

/// Collects one message's text. Past `heldBytes`, the text goes on into a spill file in
/// writes of about a megabyte, while its start stays in memory: so a message of any size costs
/// the supervisor a few megabytes, and the file becomes the message's file as it stands.
class MessageText
{
public:
    explicit MessageText(SpillFiles spill = {});

    /// Appends `bytes`. After a failed write to the spill file, bytes are counted only.
    void append(std::string_view bytes);
    /// Starts the next message's text, giving back a huge message's room.
    void clear();

    bool empty() const { return m_size == 0; }
    std::uint64_t size() const { return m_size; }
    /// The whole text, or, once spilled, its first `heldBytes`. Valid until the next append.
    std::string_view held() const { return m_held.view(); }
    /// The file that holds the whole text, all of it written; nullptr while it is held whole.
    /// The caller may move the file away to keep it.
    PendingFile *file();
    /// Why the text could not all be written to its file: then the text is incomplete.
    const std::optional<Error> &error() const { return m_error; }

private:
    void spill(std::string_view bytes);
    void writeBuffered();

    SpillFiles m_spill;
    AppendStrings m_held;
    std::optional<PendingFile> m_file;
    std::string m_buffer;
    std::optional<Error> m_error;
    std::uint64_t m_size = 0;
};

} // namespace tessaly
