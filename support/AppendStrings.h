// Collects the text of one message piece by piece, without copying it anew for every piece.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

/// A byte-string builder. Mailbox text is one character per byte, so it holds raw bytes.
///
/// Room starts at 10,000 bytes on the first append and then grows geometrically, so
/// appending stays amortised constant time even for a message of many megabytes.
/// Every piece is kept whole and in order, however long it is.
class AppendStrings
{
public:
    static constexpr std::size_t kInitialRoom = 10000;

    /// Appends `strAdd` to the collected text. An empty piece changes nothing.
    void AddToString(std::string_view strAdd);

    /// Returns the whole collected text. The builder keeps it, so later appends continue it.
    std::string ReturnString() const;

    /// A view of the collected text, valid until the next append.
    std::string_view view() const { return m_buffer; }
    std::size_t size() const { return m_buffer.size(); }
    bool empty() const { return m_buffer.empty(); }
    std::size_t capacity() const { return m_buffer.capacity(); }

private:
    std::string m_buffer;
};
