#include "mailconverter/bundle/PendingFileSink.h"

#include <stdexcept>

namespace tessaly {
namespace {

constexpr std::size_t kBufferBytes = 1 << 20;

} // namespace

PendingFileSink::PendingFileSink(PendingFile &file) : Pipeline("pending file", nullptr), m_file(file)
{
    m_buffer.reserve(kBufferBytes);
}

void PendingFileSink::write(unsigned char const *data, size_t length)
{
    m_buffer.append(reinterpret_cast<const char *>(data), length);
    if (m_buffer.size() >= kBufferBytes)
        flush();
}

void PendingFileSink::finish()
{
    flush();
}

void PendingFileSink::flush()
{
    if (m_buffer.empty())
        return;
    if (Result<void> written = m_file.write(m_buffer); !written)
        throw std::runtime_error(written.error().message);
    m_buffer.clear();
}

} // namespace tessaly
