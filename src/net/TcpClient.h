// TcpClient: the client connection control ("客户") of a window. Holds at most one outgoing
// IPv4 TCP connection, sends exactly the bytes it is given and raises DataArrival with exactly
// the bytes that were readable when the system reported them. No framing of any kind.
//
// Owned by its window (destroyed with it, without raising events); lives on the UI thread,
// where its socket notifications are delivered.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string_view>

#include "core/Handler.h"
#include "core/Text.h"

namespace exam {

class TcpClient {
public:
    // Event indexes, by which window definitions bind handlers.
    enum Event : int { DataArrival = 0, ConnectionClosed = 1 };
    // A peer that does not answer fails connect after this long instead of the system's own
    // retries of about two minutes, during which the UI thread would stand still.
    static constexpr std::chrono::seconds kConnectTimeLimit{21};

    TcpClient();
    ~TcpClient();
    TcpClient(const TcpClient&) = delete;
    TcpClient& operator=(const TcpClient&) = delete;

    void bind(Event event, Handler handler);

    // Blocking connect (bounded by kConnectTimeLimit). Replaces any current connection without
    // raising ConnectionClosed. Returns true when the connection stands. The host is dotted IPv4
    // or a name; a port below 1 is taken as 1, one above 65535 fails. An empty host fails.
    bool connect(const Text& host, std::int32_t port);
    // Closes the connection gracefully: bytes already sent or queued still reach the peer.
    void disconnect();
    // True when all bytes were sent or queued for sending; false when not connected or when the
    // system refuses them with an error. Never blocks: queued bytes go out as the socket
    // becomes writable, and are dropped (with a log line) if the connection fails first.
    bool send(std::string_view bytes);
    bool send(const Text& text) { return send(text.view()); }

    // The bytes of the DataArrival being raised; empty at any other time.
    Bytes receivedData() const;
    bool connected() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace exam
