#include "net/TcpClient.h"

#include <string>
#include <utility>

#include "net/ConnectionBin.h"
#include "net/Socket.h"
#include "net/StreamConnection.h"

namespace exam {

struct TcpClient::Impl {
    ConnectionBin bin;  // first, so that it outlives the connection below
    Handler handlers[2];
    std::unique_ptr<StreamConnection> connection;
    std::uint64_t generation = 0;  // counts connections, so a handler's reconnect is noticed
    bool connected = false;
    Bytes received;

    ~Impl() {
        if (connection) connection->close(bin, "closed with its window");
    }

    void letGo() {
        bin.release(std::move(connection));
        connected = false;
    }

    void onReadable(std::uint64_t of);
};

void TcpClient::Impl::onReadable(std::uint64_t of) {
    ConnectionBin::Activation activation(bin);
    if (!connection || generation != of) return;
    StreamConnection::Arrival arrival = connection->read();
    if (!arrival.bytes.empty()) {
        // A handler that runs a nested event loop may see a further arrival of its own.
        Bytes outer = std::exchange(received, std::move(arrival.bytes));
        if (!ConnectionBin::raise(handlers[DataArrival], activation)) return;
        received = std::move(outer);
    }
    // Only for the connection that ended: a DataArrival handler may have replaced it.
    if (arrival.ended && connection && generation == of) {
        ConnectionBin::raise(handlers[ConnectionClosed], activation);
    }
}

TcpClient::TcpClient() : impl_(std::make_unique<Impl>()) {}
TcpClient::~TcpClient() = default;

void TcpClient::bind(Event event, Handler handler) { impl_->handlers[event] = std::move(handler); }

bool TcpClient::connect(const Text& host, std::int32_t port) {
    Impl& d = *impl_;
    d.bin.purge();
    d.letGo();
    if (!socket::networkReady() || host.empty()) return false;
    if (port < 1) port = 1;
    if (port > 65535) return false;
    const auto address = socket::resolveIpv4(host.c_str());
    if (!address) return false;
    const socket::Handle handle = socket::connectTo(
        {*address, static_cast<std::uint16_t>(port)},
        std::chrono::duration_cast<std::chrono::milliseconds>(kConnectTimeLimit));
    if (handle == socket::kNoHandle) return false;

    d.connection = std::make_unique<StreamConnection>(
        handle, host.bytes() + ":" + std::to_string(port));
    const std::uint64_t generation = ++d.generation;
    d.connection->onReadable([&d, generation] { d.onReadable(generation); });
    d.connected = true;
    return true;
}

void TcpClient::disconnect() {
    impl_->bin.purge();
    impl_->letGo();
}

bool TcpClient::send(std::string_view bytes) {
    Impl& d = *impl_;
    d.bin.purge();
    if (!d.connection || !d.connected) return false;
    return d.connection->send(bytes);
}

Bytes TcpClient::receivedData() const { return impl_->received; }
bool TcpClient::connected() const { return impl_->connected; }

}  // namespace exam
