#include "support/ProcessEnvironment.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif
#ifdef __linux__
#include <sched.h>
#endif

namespace tessaly {

bool isTerminal(std::FILE *stream)
{
#ifdef _WIN32
    return _isatty(_fileno(stream)) != 0;
#else
    return ::isatty(::fileno(stream)) != 0;
#endif
}

bool isRunningAsAdministrator()
{
#ifdef _WIN32
    return false; // Chromium's sandbox works for elevated processes on Windows.
#else
    return ::geteuid() == 0;
#endif
}

void setEnvironmentVariableIfUnset(const char *name, const char *value)
{
    const char *current = std::getenv(name);
    if (current && *current)
        return;
#ifdef _WIN32
    _putenv_s(name, value);
#else
    ::setenv(name, value, 1);
#endif
}

std::optional<int> processorsOfCpuQuota(std::string_view cpuMax)
{
    const auto positive = [](std::string_view text) -> std::optional<long long> {
        long long value = 0;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
        if (error != std::errc() || end != text.data() + text.size() || value <= 0)
            return std::nullopt;
        return value;
    };
    const std::size_t space = cpuMax.find(' ');
    if (space == std::string_view::npos)
        return std::nullopt;
    const std::optional<long long> quota = positive(cpuMax.substr(0, space));
    const std::optional<long long> period = positive(cpuMax.substr(space + 1));
    if (!quota || !period)
        return std::nullopt;
    return static_cast<int>(std::max(1LL, (*quota + *period - 1) / *period));
}

namespace {

#ifdef __linux__
/// The smallest CPU quota among this process's cgroup (v2) and the groups above it.
std::optional<int> cgroupProcessorLimit()
{
    std::ifstream membership("/proc/self/cgroup");
    std::string line;
    std::optional<int> limit;
    while (std::getline(membership, line)) {
        if (!line.starts_with("0::/"))
            continue;
        std::filesystem::path group = "/sys/fs/cgroup";
        for (const std::filesystem::path &level : std::filesystem::path(line.substr(4))) {
            group /= level;
            std::ifstream file(group / "cpu.max");
            std::string cpuMax;
            std::getline(file, cpuMax);
            if (const std::optional<int> processors = processorsOfCpuQuota(cpuMax))
                limit = std::min(limit.value_or(*processors), *processors);
        }
    }
    return limit;
}
#endif

} // namespace

int usableProcessorCount()
{
    int processors = static_cast<int>(std::thread::hardware_concurrency());
#ifdef __linux__
    cpu_set_t allowed;
    CPU_ZERO(&allowed);
    if (sched_getaffinity(0, sizeof allowed, &allowed) == 0)
        processors = CPU_COUNT(&allowed);
    if (const std::optional<int> quota = cgroupProcessorLimit())
        processors = std::min(processors, *quota);
#endif
    return std::max(1, processors);
}

} // namespace tessaly
