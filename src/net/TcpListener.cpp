// Placeholder until the socket transport lands: never listens.
#include "net/TcpListener.h"

namespace exam {

struct TcpListener::Impl {
    std::int32_t port = kDefaultPort;
    Handler handlers[3];
};

TcpListener::TcpListener(std::int32_t port) : impl_(std::make_unique<Impl>()) {
    impl_->port = port < 1 ? 1 : port;
}
TcpListener::~TcpListener() = default;
void TcpListener::bind(Event event, Handler handler) {
    impl_->handlers[event] = std::move(handler);
}
std::int32_t TcpListener::port() const { return impl_->port; }
void TcpListener::setPort(std::int32_t port) { impl_->port = port < 1 ? 1 : port; }
Text TcpListener::currentClient() const { return {}; }
Bytes TcpListener::receivedData() const { return {}; }
bool TcpListener::sendToClient(const Text&, std::string_view, std::optional<std::int32_t>) {
    return false;
}

}  // namespace exam
