// TcpClient: the client connection control ("客户") of a window. Holds at most one outgoing
// IPv4 TCP connection, sends exactly the bytes it is given and raises DataArrival with exactly
// the bytes that were readable when the system reported them. No framing of any kind.
//
// Owned by its window (destroyed with it, without raising events); lives on the UI thread,
// where its socket notifications are delivered.
#pragma once

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

    TcpClient();
    ~TcpClient();
    TcpClient(const TcpClient&) = delete;
    TcpClient& operator=(const TcpClient&) = delete;

    void bind(Event event, Handler handler);

    // Blocking connect (bounded by the connect time-out). Replaces any current connection
    // without raising ConnectionClosed. Returns true when the connection stands.
    bool connect(const Text& host, std::int32_t port);
    void disconnect();
    // True when all bytes were sent or queued for sending; false when not connected.
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
