// Facts about the running process and its environment that differ between systems.
#pragma once

#include <cstdio>

namespace tessaly {

/// Whether a standard stream is a terminal, for output that rewrites its line.
bool isTerminal(std::FILE *stream);

/// Whether the process runs with the system administrator's identity (root on POSIX).
bool isRunningAsAdministrator();

/// Sets an environment variable unless it already has a value.
void setEnvironmentVariableIfUnset(const char *name, const char *value);

} // namespace tessaly
