// Facts about the running process and its environment that differ between systems.
#pragma once

#include <cstdio>
#include <optional>
#include <string_view>

namespace tessaly {

/// Whether a standard stream is a terminal, for output that rewrites its line.
bool isTerminal(std::FILE *stream);

/// Whether the process runs with the system administrator's identity (root on POSIX).
bool isRunningAsAdministrator();

/// Sets an environment variable unless it already has a value.
void setEnvironmentVariableIfUnset(const char *name, const char *value);

/// How many processors this process may keep busy: those its CPU affinity allows (a Slurm task,
/// taskset), fewer where a cgroup's CPU quota allows less (a container's CPU limit). At least 1.
int usableProcessorCount();

/// The processors the line of a cgroup v2 "cpu.max" file grants ("150000 100000" gives 2,
/// rounded up); nullopt for "max 100000" (no quota) or a line that is not such a line.
std::optional<int> processorsOfCpuQuota(std::string_view cpuMax);

} // namespace tessaly
