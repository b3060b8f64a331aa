// The far ends of the transport tests, written with plain POSIX sockets, so that the system's
// own classes are checked against something that is not themselves. Blocking calls wait at most
// a few seconds (poll time-outs), so a fault fails a test instead of stalling it.
#pragma once

#include <QTest>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <thread>
#include <utility>

namespace peer {

constexpr int kWatchdogMs = 10000;

// An owned descriptor.
class Fd {
public:
    Fd() = default;
    explicit Fd(int fd) : fd_(fd) {}
    Fd(Fd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    Fd& operator=(Fd&& other) noexcept {
        reset();
        fd_ = std::exchange(other.fd_, -1);
        return *this;
    }
    ~Fd() { reset(); }
    void reset() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }
    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

inline sockaddr_in address(const char* ip, std::uint16_t port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    ::inet_pton(AF_INET, ip, &a.sin_addr);
    return a;
}

inline std::uint16_t localPort(int fd) {
    sockaddr_in a{};
    socklen_t size = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &size);
    return ntohs(a.sin_port);
}

// "a.b.c.d:port" of the local end of `fd`: what a listener names this peer.
inline std::string localIdentity(int fd) {
    sockaddr_in a{};
    socklen_t size = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &size);
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &a.sin_addr, text, sizeof text);
    return std::string(text) + ":" + std::to_string(ntohs(a.sin_port));
}

// A listening socket on ip:port (port 0: an ephemeral one); invalid when the bind fails.
inline Fd listenOn(const char* ip, std::uint16_t port = 0, int backlog = 16) {
    Fd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    const sockaddr_in a = address(ip, port);
    if (::bind(fd.get(), reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0 ||
        ::listen(fd.get(), backlog) != 0) {
        return Fd();
    }
    return fd;
}

// A port that nothing uses at the moment (taken from the system and given back).
inline std::uint16_t freePort() {
    Fd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    const sockaddr_in a = address("0.0.0.0", 0);
    ::bind(fd.get(), reinterpret_cast<const sockaddr*>(&a), sizeof a);
    return localPort(fd.get());
}

inline bool waitFor(int fd, short events, int ms = kWatchdogMs) {
    pollfd entry{fd, events, 0};
    return ::poll(&entry, 1, ms) > 0;
}

inline Fd acceptOne(int listener, int ms = kWatchdogMs) {
    if (!waitFor(listener, POLLIN, ms)) return Fd();
    return Fd(::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC));
}

// A blocking connect (a listener's kernel completes it without the listener's help), from
// `from` when given.
inline Fd connectTo(const char* ip, std::uint16_t port, const char* from = nullptr) {
    Fd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (from) {
        const sockaddr_in local = address(from, 0);
        ::bind(fd.get(), reinterpret_cast<const sockaddr*>(&local), sizeof local);
    }
    const sockaddr_in a = address(ip, port);
    if (::connect(fd.get(), reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0) return Fd();
    return fd;
}

inline bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t sent = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
    return true;
}

// Appends what can be read without waiting; true once the peer has closed (or reset).
inline bool readNow(int fd, std::string& into) {
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (got > 0) {
            into.append(buffer, static_cast<std::size_t>(got));
            continue;
        }
        return got == 0 || (errno != EAGAIN && errno != EWOULDBLOCK);
    }
}

// Reads until the peer closes; false when it does not within the watchdog.
inline bool readToEnd(int fd, std::string& into, int ms = kWatchdogMs) {
    for (;;) {
        if (readNow(fd, into)) return true;
        if (!waitFor(fd, POLLIN, ms)) return false;
    }
}

// Reads while the Qt event loop keeps running (the sender side needs it to write what it
// queued) until `atLeast` bytes are in; false when they are not within the watchdog.
inline bool readWhileLooping(int fd, std::string& into, std::size_t atLeast) {
    return QTest::qWaitFor(
        [&] {
            readNow(fd, into);
            return into.size() >= atLeast;
        },
        kWatchdogMs);
}

// Closes with a reset instead of an orderly close.
inline void resetConnection(Fd& fd) {
    const linger hard{1, 0};
    ::setsockopt(fd.get(), SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    fd.reset();
}

// Test data in which a lost, doubled or swapped piece shows: byte i depends on i's block number.
inline char patternByte(std::size_t i) {
    return static_cast<char>((i * 2654435761u >> 13) ^ (i >> 16));
}
inline std::string pattern(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) bytes[i] = patternByte(i);
    return bytes;
}

// Reads `fd` on its own thread, slowly (a pause after every piece), checks every byte against
// pattern() and stops after `expected` bytes, at the end of the stream or after the watchdog.
class SlowReader {
public:
    SlowReader(Fd fd, std::size_t expected, std::size_t piece, int pauseMs)
        : fd_(std::move(fd)),
          thread_([this, expected, piece, pauseMs] { run(expected, piece, pauseMs); }) {}
    ~SlowReader() { thread_.join(); }
    std::size_t received() const { return received_.load(); }
    bool identical() const { return identical_.load(); }
    bool finished() const { return finished_.load(); }

private:
    void run(std::size_t expected, std::size_t piece, int pauseMs) {
        std::string buffer(piece, '\0');
        while (received_.load() < expected) {
            if (!waitFor(fd_.get(), POLLIN)) break;
            const ssize_t got = ::recv(fd_.get(), buffer.data(), piece, 0);
            if (got <= 0) break;
            const std::size_t at = received_.load();
            for (ssize_t i = 0; i < got; ++i) {
                if (buffer[static_cast<std::size_t>(i)] != patternByte(at + i)) identical_ = false;
            }
            received_ += static_cast<std::size_t>(got);
            std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs));
        }
        finished_ = true;
    }

    Fd fd_;
    std::atomic<std::size_t> received_{0};
    std::atomic<bool> identical_{true};
    std::atomic<bool> finished_{false};
    std::thread thread_;
};

}  // namespace peer
