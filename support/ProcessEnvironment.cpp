#include "support/ProcessEnvironment.h"

#include <cstdlib>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
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

} // namespace tessaly
