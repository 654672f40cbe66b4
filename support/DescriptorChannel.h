// Bytes with open files passed along, over a Unix socket (SCM_RIGHTS): a process can read
// from, or write to, a file another opened, without any right to the folder it is in.
#pragma once

#include "support/OpenFile.h"
#include "support/Result.h"

#include <deque>
#include <string>
#include <string_view>
#include <vector>

namespace tessaly {

/// Writes all of `bytes` to the socket `socket`, `descriptors` passed along with the first of
/// them: the receiver gets its own descriptors of the same open files. POSIX only; elsewhere
/// it fails so. Never raises SIGPIPE.
Result<void> sendWithDescriptors(int socket, std::string_view bytes, const std::vector<int> &descriptors);

/// Waits for what arrives on the socket `socket` and appends it to `buffer`, and the files
/// passed along with it to `files`, in the order they were sent (close-on-exec). Returns how
/// many bytes came: 0 once the other end has closed. Files that arrive with a byte belong to
/// the frame that byte starts, so a reader that takes whole frames in order takes their files
/// in order too.
Result<std::size_t> receiveWithDescriptors(int socket, std::string &buffer, std::deque<OpenFile> &files);

} // namespace tessaly
