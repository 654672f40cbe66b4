// The time and memory every message may take in a converter worker.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace tessaly {

struct WorkerLimits
{
    /// How long one message may take, from when its worker takes it up to the answer.
    std::chrono::milliseconds messageTimeout{60000};
    /// How much resident memory the worker's whole process tree may hold meanwhile.
    std::uint64_t memoryBytes = std::uint64_t(1536) * 1024 * 1024;
};

/// The failure reasons, with the figures: "took longer than 60 s", "needed more than 1.5 GB".
std::string timeoutReason(const WorkerLimits &limits);
std::string memoryReason(const WorkerLimits &limits);

} // namespace tessaly
