#include "mailconverter/bundle/PendingFileSink.h"

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
    if (m_failure)
        return;
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
    if (!m_failure && !m_buffer.empty()) {
        if (Result<void> written = m_file.write(m_buffer); !written)
            m_failure = written.error();
    }
    m_buffer.clear();
}

} // namespace tessaly
