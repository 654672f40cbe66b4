// Runs a check in a child process without root's rights, so that a test of a refused
// permission means the same when the tests run as root. POSIX only.
#pragma once

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

namespace tessaly::testing {

/// What runWithoutRootRights returns when the child could not give up root's rights.
inline constexpr int kCannotDropRootRights = 99;

/// Runs `check` in a child process, as "nobody" (65534) when this process is root, and returns
/// the number `check` returned: kCannotDropRootRights when the child could not give up root's
/// rights, -1 when it did not end by itself. Descriptors open here are the child's too.
inline int runWithoutRootRights(const std::function<int()> &check)
{
    const pid_t child = ::fork();
    if (child == 0) {
        constexpr gid_t kNobody = 65534;
        if (::geteuid() == 0 && (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0))
            ::_exit(kCannotDropRootRights);
        ::_exit(check());
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace tessaly::testing
