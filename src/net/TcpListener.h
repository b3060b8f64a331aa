// TcpListener: the listener control ("服务器") of a window. Listens on one local TCP port on
// every local address, accepts any number of connections, names each by its ClientIdentity
// text "a.b.c.d:port" and sends bytes to a connection named by that text.
//
// Owned by its window (destroyed with it, closing every connection without raising events);
// lives on the UI thread, where its socket notifications are delivered.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

#include "core/Handler.h"
#include "core/Text.h"

namespace exam {

class TcpListener {
public:
    // Event indexes, by which window definitions bind handlers.
    enum Event : int { DataArrival = 0, ClientEntered = 1, ClientLeft = 2 };
    static constexpr std::int32_t kDefaultPort = 19730;

    // Starts listening at once on `port` (below 1 is taken as 1); silent when the port is taken
    // or above 65535.
    explicit TcpListener(std::int32_t port = kDefaultPort);
    ~TcpListener();
    TcpListener(const TcpListener&) = delete;
    TcpListener& operator=(const TcpListener&) = delete;

    void bind(Event event, Handler handler);

    std::int32_t port() const;
    // A new value listens anew (open connections are kept); the same value does nothing.
    void setPort(std::int32_t port);

    // The ClientIdentity of the connection whose event is being raised; empty at other times.
    Text currentClient() const;
    // The bytes of the DataArrival being raised; empty at any other time.
    Bytes receivedData() const;

    // Sends to the first accepted connection whose identity equals `client`. True when all
    // bytes were sent or queued; false for an empty or unknown client, a send error, or when the
    // connection does not become writable within waitSeconds (when given and not negative).
    // Never blocks otherwise: queued bytes go out as the socket becomes writable, still after
    // ClientLeft to a peer that only shut down its sending side, and are dropped (with a log
    // line) when the connection fails or the listener is destroyed first.
    bool sendToClient(const Text& client, std::string_view bytes,
                      std::optional<std::int32_t> waitSeconds = std::nullopt);
    bool sendToClient(const Text& client, const Text& text,
                      std::optional<std::int32_t> waitSeconds = std::nullopt) {
        return sendToClient(client, text.view(), waitSeconds);
    }

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace exam
