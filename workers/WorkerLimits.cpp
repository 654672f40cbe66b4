#include "workers/WorkerLimits.h"

#include "support/ByteSize.h"

namespace tessaly {

std::string timeoutReason(const WorkerLimits &limits)
{
    return "took longer than " + formatSeconds(std::chrono::duration<double>(limits.messageTimeout).count()) + " s";
}

std::string memoryReason(const WorkerLimits &limits)
{
    return "needed more than " + formatByteSize(limits.memoryBytes);
}

} // namespace tessaly
