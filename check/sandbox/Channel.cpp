#include "sandbox/Channel.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>

std::string Message::get(const std::string& name, const std::string& otherwise) const {
    for (const auto& [field, value] : fields) {
        if (field == name) {
            return value;
        }
    }
    return otherwise;
}

std::vector<std::string> Message::all(const std::string& name) const {
    std::vector<std::string> values;
    for (const auto& [field, value] : fields) {
        if (field == name) {
            values.push_back(value);
        }
    }
    return values;
}

long long Message::number(const std::string& name, long long otherwise) const {
    const std::string text = get(name);
    if (text.empty() || text.size() > 19 ||
        text.find_first_not_of("-0123456789") != std::string::npos) {
        return otherwise;
    }
    return std::stoll(text);
}

std::pair<Fd, Fd> makeChannel() {
    int ends[2];
    if (socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends) < 0) {
        throw std::runtime_error(std::string("cannot make a channel: ") + std::strerror(errno));
    }
    return {Fd(ends[0]), Fd(ends[1])};
}

namespace {

// kind, a newline, then each field as "name length\n" and the value's bytes.
std::string encode(const Message& message) {
    std::string bytes = message.kind + "\n";
    for (const auto& [name, value] : message.fields) {
        bytes += name + " " + std::to_string(value.size()) + "\n" + value;
    }
    return bytes;
}

bool decode(const std::string& bytes, Message& message) {
    std::size_t at = bytes.find('\n');
    if (at == std::string::npos) {
        return false;
    }
    message.kind = bytes.substr(0, at++);
    message.fields.clear();
    while (at < bytes.size()) {
        const std::size_t blank = bytes.find(' ', at), end = bytes.find('\n', at);
        if (blank == std::string::npos || end == std::string::npos || blank > end ||
            end - blank > 6) {
            return false;
        }
        const std::string length = bytes.substr(blank + 1, end - blank - 1);
        if (length.empty() || length.find_first_not_of("0123456789") != std::string::npos) {
            return false;
        }
        const std::size_t size = std::stoul(length);
        if (size > bytes.size() - end - 1) {
            return false;
        }
        message.add(bytes.substr(at, blank - at), bytes.substr(end + 1, size));
        at = end + 1 + size;
    }
    return true;
}

}  // namespace

bool send(int channel, const Message& message, const std::vector<int>& descriptors) {
    const std::string bytes = encode(message);
    if (bytes.size() > MESSAGE_LIMIT || descriptors.size() > DESCRIPTORS_LIMIT) {
        throw std::logic_error("a message too large for the channel: " + message.kind);
    }
    iovec part{const_cast<char*>(bytes.data()), bytes.size()};
    msghdr header{};
    header.msg_iov = &part;
    header.msg_iovlen = 1;
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int) * DESCRIPTORS_LIMIT)] = {};
    if (!descriptors.empty()) {
        header.msg_control = control;
        header.msg_controllen = CMSG_SPACE(sizeof(int) * descriptors.size());
        cmsghdr* const rights = CMSG_FIRSTHDR(&header);
        rights->cmsg_level = SOL_SOCKET;
        rights->cmsg_type = SCM_RIGHTS;
        rights->cmsg_len = CMSG_LEN(sizeof(int) * descriptors.size());
        std::memcpy(CMSG_DATA(rights), descriptors.data(), sizeof(int) * descriptors.size());
    }
    ssize_t sent;
    for (;;) {
        sent = sendmsg(channel, &header, MSG_NOSIGNAL);
        if (sent >= 0 || (errno != EINTR && errno != EAGAIN)) {
            break;
        }
        pollfd room{channel, POLLOUT, 0};
        poll(&room, 1, 100);
    }
    return sent == static_cast<ssize_t>(bytes.size());
}

bool receive(int channel, Message& message, std::vector<Fd>& descriptors, bool* wouldBlock) {
    // Made once: a look at a channel with nothing in it is the common case,
    // and costs no clearing of a buffer this size.
    static std::vector<char> buffer(MESSAGE_LIMIT + 1);
    iovec part{buffer.data(), buffer.size()};
    msghdr header{};
    header.msg_iov = &part;
    header.msg_iovlen = 1;
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int) * DESCRIPTORS_LIMIT)] = {};
    header.msg_control = control;
    header.msg_controllen = sizeof control;
    ssize_t count;
    do {
        count = recvmsg(channel, &header, MSG_CMSG_CLOEXEC);
    } while (count < 0 && errno == EINTR);
    if (wouldBlock != nullptr) {
        *wouldBlock = count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
    }
    descriptors.clear();
    for (cmsghdr* part = CMSG_FIRSTHDR(&header); part != nullptr;
         part = CMSG_NXTHDR(&header, part)) {
        if (part->cmsg_level == SOL_SOCKET && part->cmsg_type == SCM_RIGHTS) {
            const std::size_t count = (part->cmsg_len - CMSG_LEN(0)) / sizeof(int);
            for (std::size_t i = 0; i < count; ++i) {
                int fd;
                std::memcpy(&fd, CMSG_DATA(part) + i * sizeof(int), sizeof fd);
                descriptors.emplace_back(fd);
            }
        }
    }
    if (count <= 0 || static_cast<std::size_t>(count) > MESSAGE_LIMIT ||
        (header.msg_flags & (MSG_TRUNC | MSG_CTRUNC)) != 0) {
        return false;
    }
    return decode(std::string(buffer.data(), static_cast<std::size_t>(count)), message);
}
