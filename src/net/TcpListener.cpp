#include "net/TcpListener.h"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include <QSocketNotifier>
#include <QTimer>

#include "net/ConnectionBin.h"
#include "net/Socket.h"
#include "net/StreamConnection.h"

namespace exam {
namespace {

Text clientIdentity(socket::Endpoint peer) {
    const std::uint32_t a = peer.address;
    return Text(std::to_string(a >> 24) + "." + std::to_string((a >> 16) & 0xFF) + "." +
                std::to_string((a >> 8) & 0xFF) + "." + std::to_string(a & 0xFF) + ":" +
                std::to_string(peer.port));
}

struct Accepted {
    std::unique_ptr<StreamConnection> connection;
    Text identity;
    std::uint64_t serial;  // names the entry to its own notifications
};

}  // namespace

struct TcpListener::Impl {
    ConnectionBin bin;  // first, so that it outlives the connections below
    Handler handlers[3];
    std::int32_t port = kDefaultPort;
    socket::Handle listening = socket::kNoHandle;
    std::unique_ptr<QSocketNotifier> acceptNotifier;
    std::unique_ptr<QTimer> acceptRetry;  // wakes accepting again after it had to pause
    std::uint64_t listenings = 0;  // counts listening sockets, so a handler's port change is noticed
    std::vector<Accepted> accepted;  // in order of acceptance
    std::uint64_t serials = 0;
    Text current;
    Bytes received;

    ~Impl() {
        for (Accepted& entry : accepted) entry.connection->close(bin, "closed with its window");
        stopListening();
    }

    void listen();
    void stopListening();
    void onAcceptable();
    void pauseAccepting();
    void onReadable(std::uint64_t serial);
    bool raise(Event event, const Text& client, Bytes bytes,
               const ConnectionBin::Activation& activation);

    std::vector<Accepted>::iterator find(std::uint64_t serial) {
        return std::find_if(accepted.begin(), accepted.end(),
                            [serial](const Accepted& entry) { return entry.serial == serial; });
    }
};

void TcpListener::Impl::stopListening() {
    if (acceptNotifier) {
        acceptNotifier->setEnabled(false);
        QObject::disconnect(acceptNotifier.get(), nullptr, nullptr, nullptr);
        bin.keep(std::move(acceptNotifier));
    }
    socket::closeHandle(listening);
    listening = socket::kNoHandle;
}

void TcpListener::Impl::listen() {
    stopListening();
    ++listenings;
    if (!socket::networkReady() || port > 65535) return;
    listening = socket::listenOn(static_cast<std::uint16_t>(port));
    if (listening == socket::kNoHandle) return;
    acceptNotifier = std::make_unique<QSocketNotifier>(listening, QSocketNotifier::Read);
    QObject::connect(acceptNotifier.get(), &QSocketNotifier::activated,
                     [this] { onAcceptable(); });
}

bool TcpListener::Impl::raise(Event event, const Text& client, Bytes bytes,
                              const ConnectionBin::Activation& activation) {
    // Restored afterwards: a handler that runs a nested event loop may see events of its own.
    Text outerClient = std::exchange(current, client);
    Bytes outerBytes = std::exchange(received, std::move(bytes));
    if (!ConnectionBin::raise(handlers[event], activation)) return false;
    current = std::move(outerClient);
    received = std::move(outerBytes);
    return true;
}

void TcpListener::Impl::onAcceptable() {
    ConnectionBin::Activation activation(bin);
    const std::uint64_t listeningNow = listenings;
    // One notification may stand for several pending connections.
    while (listenings == listeningNow && listening != socket::kNoHandle) {
        bool wouldBlock = false;
        const socket::Handle handle = socket::acceptOne(listening, &wouldBlock);
        if (handle == socket::kNoHandle) {
            if (!wouldBlock) pauseAccepting();
            return;
        }
        const auto peer = socket::peerEndpoint(handle);
        if (!peer) {
            socket::closeHandle(handle);
            continue;
        }
        const Text identity = clientIdentity(*peer);
        const std::uint64_t serial = ++serials;
        // Armed before ClientEntered, so its handler can send at once; reading starts only
        // when control is back at the event loop, after the event.
        auto connection = std::make_unique<StreamConnection>(handle, identity.bytes());
        connection->onReadable([this, serial] { onReadable(serial); });
        accepted.push_back({std::move(connection), identity, serial});
        if (!raise(ClientEntered, identity, {}, activation)) return;
    }
}

void TcpListener::Impl::pauseAccepting() {
    // The accept failed with the connection still pending (typically no descriptor left), so
    // the notifier would fire again at once, for ever: try again a little later instead.
    constexpr int kRetryMs = 100;
    if (!acceptRetry) {
        acceptRetry = std::make_unique<QTimer>();
        acceptRetry->setSingleShot(true);
        acceptRetry->setTimerType(Qt::PreciseTimer);
        QObject::connect(acceptRetry.get(), &QTimer::timeout, [this] {
            if (acceptNotifier) acceptNotifier->setEnabled(true);
        });
    }
    acceptNotifier->setEnabled(false);
    acceptRetry->start(kRetryMs);
}

void TcpListener::Impl::onReadable(std::uint64_t serial) {
    ConnectionBin::Activation activation(bin);
    auto entry = find(serial);
    if (entry == accepted.end()) return;
    StreamConnection::Arrival arrival = entry->connection->read();
    if (!arrival.bytes.empty()) {
        const Text identity = entry->identity;
        if (!raise(DataArrival, identity, std::move(arrival.bytes), activation)) return;
    }
    if (!arrival.ended) return;

    entry = find(serial);
    if (entry == accepted.end()) return;
    Accepted leaving = std::move(*entry);
    accepted.erase(entry);
    if (!raise(ClientLeft, leaving.identity, {}, activation)) {
        leaving.connection->abandon();
        return;
    }
    // A peer that only shut down its sending side still gets what was queued for it.
    bin.release(std::move(leaving.connection));
}

TcpListener::TcpListener(std::int32_t port) : impl_(std::make_unique<Impl>()) {
    impl_->port = port < 1 ? 1 : port;
    impl_->listen();
}

TcpListener::~TcpListener() = default;

void TcpListener::bind(Event event, Handler handler) {
    impl_->handlers[event] = std::move(handler);
}

std::int32_t TcpListener::port() const { return impl_->port; }

void TcpListener::setPort(std::int32_t port) {
    if (port < 1) port = 1;
    if (port == impl_->port) return;
    impl_->bin.purge();
    impl_->port = port;
    impl_->listen();
}

Text TcpListener::currentClient() const { return impl_->current; }
Bytes TcpListener::receivedData() const { return impl_->received; }

bool TcpListener::sendToClient(const Text& client, std::string_view bytes,
                               std::optional<std::int32_t> waitSeconds) {
    Impl& d = *impl_;
    d.bin.purge();
    if (client.empty()) return false;
    const auto entry =
        std::find_if(d.accepted.begin(), d.accepted.end(),
                     [&client](const Accepted& held) { return held.identity == client; });
    if (entry == d.accepted.end()) return false;
    if (bytes.empty()) return true;
    if (waitSeconds && *waitSeconds >= 0 &&
        !entry->connection->waitWritable(std::chrono::seconds(*waitSeconds))) {
        return false;
    }
    return entry->connection->send(bytes);
}

}  // namespace exam
