#include "conversion/MessageText.h"

#include <utility>

namespace tessaly {
namespace {

constexpr std::size_t kWriteBytes = std::size_t{1} << 20;

} // namespace

MessageText::MessageText(SpillFiles spill) : m_spill(std::move(spill)) {}

void MessageText::append(std::string_view bytes)
{
    if (bytes.empty())
        return;
    m_size += bytes.size();
    if (!m_file && !m_error) {
        if (!m_spill.make || m_held.size() + bytes.size() <= m_spill.heldBytes) {
            m_held.AddToString(bytes);
            return;
        }
        Result<PendingFile> made = m_spill.make();
        if (!made) {
            m_error = made.error();
            return;
        }
        m_file.emplace(std::move(made).value());
        spill(m_held.view());
        const std::size_t room = m_spill.heldBytes - m_held.size();
        m_held.AddToString(bytes.substr(0, room));
        spill(bytes.substr(0, room));
        bytes.remove_prefix(room);
    }
    spill(bytes);
}

void MessageText::spill(std::string_view bytes)
{
    if (m_error)
        return;
    m_buffer.append(bytes);
    if (m_buffer.size() >= kWriteBytes)
        writeBuffered();
}

void MessageText::writeBuffered()
{
    if (m_error || !m_file || m_buffer.empty())
        return;
    if (Result<void> written = m_file->write(m_buffer); !written)
        m_error = written.error();
    m_buffer.clear();
}

PendingFile *MessageText::file()
{
    writeBuffered();
    return m_file && !m_error ? &*m_file : nullptr;
}

void MessageText::clear()
{
    m_held = AppendStrings();
    m_file.reset();
    std::string().swap(m_buffer);
    m_error.reset();
    m_size = 0;
}

} // namespace tessaly
