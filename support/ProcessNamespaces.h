// Namespaces of its own that a child process can be started in (Linux), so that what runs in it
// sees only loopback, a read-only file system and its own processes.
#pragma once

#include "support/Result.h"

namespace tessaly {

/// The steps of setting a child's namespaces up, which a child reports failing in.
enum class NamespaceStep : int
{
    MapUser,
    PrivateMounts,
    ReadOnly,
    Proc,
    Tmp,
    SharedMemory,
    Loopback,
    Execute, ///< not a namespace step: executing the program after the setup
};

/// Starts a copy of this process, as fork does, in new network, mount, process id and IPC
/// namespaces, set up before it returns in the copy:
/// - the network has loopback only, and it is up;
/// - every mount is private (nothing mounted there reaches this system) and read-only, but for
///   a new /proc of its own processes and empty, writable /tmp and /dev/shm;
/// - the copy is process 1 of its process namespace: when it ends, everything it started ends.
/// The administrator makes the namespaces directly; anyone else makes them inside a user
/// namespace of their own that maps their user and group to themselves.
///
/// In the parent: the copy's id, or -1 when it cannot be made (errno says why; elsewhere than
/// on Linux always). In the copy: 0, once it is set up. When a step fails in the copy, the copy
/// reports it to `failures` (writeNamespaceFailure) and ends with status 127. Until it executes
/// a program or ends, the copy may make system calls only (no allocation, no locks), as after
/// fork in a process with threads.
long forkIntoOwnNamespaces(int failures);

/// In the copy: reports to the parent, through the write end `failures` of a pipe, that `step`
/// failed with the system's `error`.
void writeNamespaceFailure(int failures, NamespaceStep step, int error);

/// In the parent: reads from the read end `failures` what the copy reported, once its write
/// end is closed (the copy executed a program or ended). No error when it reported nothing;
/// else, e.g., "cannot mount /tmp: Operation not permitted".
Result<void> readNamespaceFailure(int failures);

/// Whether a child started by forkIntoOwnNamespaces can set its namespaces up here: starts one,
/// which ends at once. The error says which step failed, or that this system has no such
/// namespaces.
Result<void> probeOwnNamespaces();

} // namespace tessaly
