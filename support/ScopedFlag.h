// A flag that is set for as long as a scope runs, so every way out clears it.
#pragma once

namespace tessaly {

class ScopedFlag
{
public:
    explicit ScopedFlag(bool &flag) : m_flag(flag) { m_flag = true; }
    ~ScopedFlag() { m_flag = false; }
    ScopedFlag(const ScopedFlag &) = delete;
    ScopedFlag &operator=(const ScopedFlag &) = delete;

private:
    bool &m_flag;
};

} // namespace tessaly
