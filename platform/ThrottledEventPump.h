// Decides when a loop that asks for event processing very often really gets it.
#pragma once

#include <chrono>
#include <functional>

namespace tessaly {

/// Calls `processEvents` at most once per interval, however often `pump()` is called, so a
/// loop can pump once per line of a multi-gigabyte mailbox without living in the event loop.
class ThrottledEventPump
{
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;
    static constexpr std::chrono::milliseconds kDefaultInterval{15};

    /// `clock` defaults to a cheap monotonic clock.
    explicit ThrottledEventPump(std::function<void()> processEvents,
                                std::chrono::milliseconds interval = kDefaultInterval, Clock clock = {});

    /// Processes events if the interval has passed since they were last processed.
    void pump();

    /// How many times events were really processed.
    long long processedCount() const { return m_processedCount; }

private:
    std::function<void()> m_processEvents;
    std::chrono::steady_clock::duration m_interval;
    Clock m_clock;
    std::chrono::steady_clock::time_point m_last{};
    long long m_processedCount = 0;
};

/// A monotonic clock that is cheap to read (coarse where the system offers one).
std::chrono::steady_clock::time_point cheapMonotonicNow();

} // namespace tessaly
