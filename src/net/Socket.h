// Socket: the system's only door to the platform's IPv4 TCP sockets. Every call the transport
// makes on a socket goes through these functions, so a port to another socket API replaces one
// implementation file (SocketPosix.cpp) and nothing above it.
//
// Plain functions on handles; they own nothing and keep no state. Any thread may call them, but
// the system calls them only from the UI thread.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace exam::socket {

// A platform socket handle; kNoHandle stands for none.
using Handle = std::intptr_t;
inline constexpr Handle kNoHandle = -1;

struct Endpoint {
    std::uint32_t address = 0;  // IPv4 address in host byte order
    std::uint16_t port = 0;
};

// Whether the platform's socket layer can be used at all. Always true where sockets need no
// start-up call.
bool networkReady();

// The IPv4 address of `host`: read as dotted-decimal first, otherwise looked up as a host name,
// taking the first IPv4 address of the answer. Blocks during the look-up.
std::optional<std::uint32_t> resolveIpv4(const char* host);

// Opens a TCP connection to `peer`. Blocks like an ordinary connect, but gives up after `limit`
// when the peer does not answer. Returns the connected socket, already non-blocking, or
// kNoHandle with the platform's error code in `error`.
Handle connectTo(Endpoint peer, std::chrono::milliseconds limit, int* error = nullptr);

// A non-blocking socket listening on `port` on every local address with the largest backlog the
// system allows. A port that another socket listens on fails; one whose old connections only
// linger in TIME_WAIT does not, as with a plain bind on Windows. kNoHandle on failure.
Handle listenOn(std::uint16_t port);

// One pending connection of a listening socket, non-blocking; kNoHandle when none is pending
// (`wouldBlock` set) or the accept failed.
Handle acceptOne(Handle listener, bool* wouldBlock);

struct IoResult {
    enum Status { Done, WouldBlock, EndOfStream, Failed };
    Status status = Failed;
    std::size_t count = 0;  // bytes moved when Done
    int error = 0;          // the platform's error code when Failed
};

// The number of bytes that can be read at once; nothing when the query fails.
std::optional<std::size_t> readableCount(Handle handle);
IoResult receive(Handle handle, char* buffer, std::size_t size);
// A send to a peer that has gone fails with an error; it never raises a signal.
IoResult sendSome(Handle handle, const char* data, std::size_t size);
// Waits up to `limit` for room in the send buffer.
bool waitWritable(Handle handle, std::chrono::milliseconds limit);

std::optional<Endpoint> peerEndpoint(Handle handle);
void closeHandle(Handle handle);

// The platform's wording of an error code, for log lines.
std::string errorText(int error);

}  // namespace exam::socket
