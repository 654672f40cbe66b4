#include "support/ProcessEnvironment.h"

#include <gtest/gtest.h>

#ifdef __linux__
#include <sched.h>
#endif

namespace tessaly {
namespace {

TEST(ProcessEnvironment, CpuQuotaLinesGiveWholeProcessorsRoundedUp)
{
    EXPECT_EQ(processorsOfCpuQuota("200000 100000"), 2);
    EXPECT_EQ(processorsOfCpuQuota("150000 100000"), 2);
    EXPECT_EQ(processorsOfCpuQuota("50000 100000"), 1);
    EXPECT_EQ(processorsOfCpuQuota("max 100000"), std::nullopt);
    EXPECT_EQ(processorsOfCpuQuota(""), std::nullopt);
    EXPECT_EQ(processorsOfCpuQuota("0 100000"), std::nullopt);
    EXPECT_EQ(processorsOfCpuQuota("100000 0"), std::nullopt);
}

#ifdef __linux__
// A Slurm task or `taskset` narrows the processors a process may run on; counting the
// machine's would start a worker per core of the whole node.
TEST(ProcessEnvironment, OnlyTheProcessorsTheAffinityAllowsAreUsable)
{
    cpu_set_t before;
    ASSERT_EQ(sched_getaffinity(0, sizeof before, &before), 0);
    EXPECT_LE(usableProcessorCount(), CPU_COUNT(&before));

    cpu_set_t one;
    CPU_ZERO(&one);
    for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
        if (CPU_ISSET(cpu, &before)) {
            CPU_SET(cpu, &one);
            break;
        }
    }
    ASSERT_EQ(sched_setaffinity(0, sizeof one, &one), 0);
    const int usable = usableProcessorCount();
    ASSERT_EQ(sched_setaffinity(0, sizeof before, &before), 0);
    EXPECT_EQ(usable, 1);
}
#endif

} // namespace
} // namespace tessaly
