// Placeholder until the socket transport lands: never connects.
#include "net/TcpClient.h"

namespace exam {

struct TcpClient::Impl {
    Handler handlers[2];
};

TcpClient::TcpClient() : impl_(std::make_unique<Impl>()) {}
TcpClient::~TcpClient() = default;
void TcpClient::bind(Event event, Handler handler) { impl_->handlers[event] = std::move(handler); }
bool TcpClient::connect(const Text&, std::int32_t) { return false; }
void TcpClient::disconnect() {}
bool TcpClient::send(std::string_view) { return false; }
Bytes TcpClient::receivedData() const { return {}; }
bool TcpClient::connected() const { return false; }

}  // namespace exam
