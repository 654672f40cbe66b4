// Collects the text of one message piece by piece.
#include "support/AppendStrings.h"

#include <algorithm>

void AppendStrings::AddToString(std::string_view strAdd)
{
    if (strAdd.empty())
        return;
    const std::size_t needed = m_buffer.size() + strAdd.size();
    if (needed > m_buffer.capacity() || m_buffer.capacity() < kInitialRoom) {
        // Geometric growth: fixed steps would copy a large message thousands of times.
        m_buffer.reserve(std::max({needed, kInitialRoom, m_buffer.capacity() * 2}));
    }
    m_buffer.append(strAdd);
}

std::string AppendStrings::ReturnString() const
{
    return m_buffer;
}
