#include "platform/ThrottledEventPump.h"

#include <utility>

#if defined(__linux__)
#include <time.h>
#endif

namespace tessaly {

std::chrono::steady_clock::time_point cheapMonotonicNow()
{
#if defined(__linux__) && defined(CLOCK_MONOTONIC_COARSE)
    // A few nanoseconds a read instead of tens: the pump is asked once per mailbox line.
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
    return std::chrono::steady_clock::time_point(std::chrono::duration_cast<std::chrono::steady_clock::duration>(
        std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec)));
#else
    return std::chrono::steady_clock::now();
#endif
}

ThrottledEventPump::ThrottledEventPump(std::function<void()> processEvents, std::chrono::milliseconds interval,
                                       Clock clock)
    : m_processEvents(std::move(processEvents)), m_interval(interval),
      m_clock(clock ? std::move(clock) : Clock(&cheapMonotonicNow))
{
}

void ThrottledEventPump::pump()
{
    const auto now = m_clock();
    if (m_processedCount > 0 && now - m_last < m_interval)
        return;
    m_last = now;
    ++m_processedCount;
    m_processEvents();
}

} // namespace tessaly
