// BSD sockets behind Socket.h.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>

#include "net/Socket.h"

namespace exam::socket {
namespace {

sockaddr_in toSockaddr(Endpoint endpoint) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(endpoint.address);
    address.sin_port = htons(endpoint.port);
    return address;
}

int toFd(Handle handle) { return static_cast<int>(handle); }

int newStreamSocket() {
    return ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP);
}

// poll() on one descriptor, resumed after signals until `limit` has passed in all.
bool waitFor(int fd, short events, std::chrono::milliseconds limit) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + limit;
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        const auto wait = left.count() < 0 ? 0 : (left.count() > INT_MAX ? INT_MAX : left.count());
        pollfd entry{fd, events, 0};
        const int ready = ::poll(&entry, 1, static_cast<int>(wait));
        if (ready > 0) return true;
        if (ready == 0) {
            if (Clock::now() >= deadline) return false;
            continue;
        }
        if (errno != EINTR) return false;
    }
}

}  // namespace

bool networkReady() { return true; }

std::optional<std::uint32_t> resolveIpv4(const char* host) {
    in_addr numeric{};
    if (::inet_aton(host, &numeric) != 0) return ntohl(numeric.s_addr);

    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* answer = nullptr;
    if (::getaddrinfo(host, nullptr, &hints, &answer) != 0 || answer == nullptr) return {};
    const auto* first = reinterpret_cast<const sockaddr_in*>(answer->ai_addr);
    const std::uint32_t address = ntohl(first->sin_addr.s_addr);
    ::freeaddrinfo(answer);
    return address;
}

Handle connectTo(Endpoint peer, std::chrono::milliseconds limit, int* error) {
    int failure = 0;
    const int fd = newStreamSocket();
    if (fd < 0) {
        if (error) *error = errno;
        return kNoHandle;
    }
    const sockaddr_in address = toSockaddr(peer);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        failure = errno;
        if (failure == EINPROGRESS || failure == EINTR) {
            failure = 0;
            if (!waitFor(fd, POLLOUT, limit)) {
                failure = ETIMEDOUT;
            } else {
                socklen_t size = sizeof failure;
                if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &failure, &size) != 0) failure = errno;
            }
        }
    }
    if (failure != 0) {
        ::close(fd);
        if (error) *error = failure;
        return kNoHandle;
    }
    return fd;
}

Handle listenOn(std::uint16_t port) {
    const int fd = newStreamSocket();
    if (fd < 0) return kNoHandle;
    // A plain Windows bind succeeds while the port's old connections wait in TIME_WAIT; Linux
    // needs SO_REUSEADDR for that, which here (unlike on Windows) still refuses a port that
    // another socket listens on.
    const int reuse = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
    const sockaddr_in address = toSockaddr({INADDR_ANY, port});
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd, SOMAXCONN) != 0) {
        ::close(fd);
        return kNoHandle;
    }
    return fd;
}

Handle acceptOne(Handle listener, bool* wouldBlock) {
    *wouldBlock = false;
    for (;;) {
        const int fd = ::accept4(toFd(listener), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd >= 0) return fd;
        if (errno == EINTR) continue;
        *wouldBlock = errno == EAGAIN || errno == EWOULDBLOCK;
        return kNoHandle;
    }
}

std::optional<std::size_t> readableCount(Handle handle) {
    int count = 0;
    if (::ioctl(toFd(handle), FIONREAD, &count) != 0) return {};
    return count < 0 ? 0 : static_cast<std::size_t>(count);
}

IoResult receive(Handle handle, char* buffer, std::size_t size) {
    for (;;) {
        const ssize_t got = ::recv(toFd(handle), buffer, size, 0);
        if (got > 0) return {IoResult::Done, static_cast<std::size_t>(got), 0};
        if (got == 0) return {IoResult::EndOfStream, 0, 0};
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) return {IoResult::WouldBlock, 0, 0};
        return {IoResult::Failed, 0, errno};
    }
}

IoResult sendSome(Handle handle, const char* data, std::size_t size) {
    for (;;) {
        const ssize_t sent = ::send(toFd(handle), data, size, MSG_NOSIGNAL);
        if (sent >= 0) return {IoResult::Done, static_cast<std::size_t>(sent), 0};
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) return {IoResult::WouldBlock, 0, 0};
        return {IoResult::Failed, 0, errno};
    }
}

bool waitWritable(Handle handle, std::chrono::milliseconds limit) {
    return waitFor(toFd(handle), POLLOUT, limit);
}

std::optional<Endpoint> peerEndpoint(Handle handle) {
    sockaddr_in address{};
    socklen_t size = sizeof address;
    if (::getpeername(toFd(handle), reinterpret_cast<sockaddr*>(&address), &size) != 0 ||
        address.sin_family != AF_INET) {
        return {};
    }
    return Endpoint{ntohl(address.sin_addr.s_addr), ntohs(address.sin_port)};
}

void closeHandle(Handle handle) {
    if (handle != kNoHandle) ::close(toFd(handle));
}

std::string errorText(int error) { return std::strerror(error); }

}  // namespace exam::socket
