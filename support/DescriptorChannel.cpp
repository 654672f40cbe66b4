#include "support/DescriptorChannel.h"

#include "support/SystemReason.h"

#include <cerrno>
#include <cstring>
#include <system_error>

#ifndef _WIN32
#include <sys/socket.h>
#include <sys/uio.h>
#endif

namespace tessaly {

#ifdef _WIN32

Result<void> sendWithDescriptors(int, std::string_view, const std::vector<int> &)
{
    return Error{"passing open files to another process is not supported on this system", FailureKind::Unsupported};
}

Result<std::size_t> receiveWithDescriptors(int, std::string &, std::deque<OpenFile> &)
{
    return Error{"passing open files to another process is not supported on this system", FailureKind::Unsupported};
}

#else

namespace {

/// More than any frame passes; a frame that passes more is cut, and the receiver says so.
constexpr std::size_t kMaxDescriptorsPerSend = 8;

} // namespace

Result<void> sendWithDescriptors(int socket, std::string_view bytes, const std::vector<int> &descriptors)
{
    if (descriptors.size() > kMaxDescriptorsPerSend)
        return Error{"cannot pass more than " + std::to_string(kMaxDescriptorsPerSend) + " files at once",
                     FailureKind::InternalError};
    bool passed = descriptors.empty();
    while (!bytes.empty() || !passed) {
        iovec part{const_cast<char *>(bytes.data()), bytes.size()};
        msghdr message{};
        message.msg_iov = &part;
        message.msg_iovlen = 1;
        alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int) * kMaxDescriptorsPerSend)];
        if (!passed) {
            // Files need at least one byte to travel with.
            if (bytes.empty())
                return Error{"cannot pass files without a byte to go with them", FailureKind::InternalError};
            const std::size_t length = sizeof(int) * descriptors.size();
            std::memset(control, 0, sizeof control);
            message.msg_control = control;
            message.msg_controllen = CMSG_SPACE(length);
            cmsghdr *header = CMSG_FIRSTHDR(&message);
            header->cmsg_level = SOL_SOCKET;
            header->cmsg_type = SCM_RIGHTS;
            header->cmsg_len = CMSG_LEN(length);
            std::memcpy(CMSG_DATA(header), descriptors.data(), length);
        }
        const ssize_t sent = ::sendmsg(socket, &message, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent < 0)
            return Error{"cannot write to the socket: " + systemReason(errno), FailureKind::Unwritable};
        passed = true;
        bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
    return {};
}

Result<std::size_t> receiveWithDescriptors(int socket, std::string &buffer, std::deque<OpenFile> &files)
{
    char chunk[65536];
    for (;;) {
        iovec part{chunk, sizeof chunk};
        msghdr message{};
        message.msg_iov = &part;
        message.msg_iovlen = 1;
        alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int) * kMaxDescriptorsPerSend)];
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        const ssize_t got = ::recvmsg(socket, &message, MSG_CMSG_CLOEXEC);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return Error{"cannot read from the socket: " + systemReason(errno), FailureKind::Unreadable};
        for (cmsghdr *header = CMSG_FIRSTHDR(&message); header; header = CMSG_NXTHDR(&message, header)) {
            if (header->cmsg_level != SOL_SOCKET || header->cmsg_type != SCM_RIGHTS)
                continue;
            const std::size_t count = (header->cmsg_len - CMSG_LEN(0)) / sizeof(int);
            for (std::size_t i = 0; i < count; ++i) {
                int descriptor = -1;
                std::memcpy(&descriptor, CMSG_DATA(header) + i * sizeof(int), sizeof(int));
                files.emplace_back(descriptor, "a file passed by the run");
            }
        }
        if (message.msg_flags & MSG_CTRUNC)
            return Error{"more files were passed at once than can be taken", FailureKind::InternalError};
        buffer.append(chunk, static_cast<std::size_t>(got));
        return static_cast<std::size_t>(got);
    }
}

#endif

} // namespace tessaly
