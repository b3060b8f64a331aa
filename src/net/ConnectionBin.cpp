#include "net/ConnectionBin.h"

#include <algorithm>

#include "net/StreamConnection.h"

namespace exam {

struct ConnectionBin::State {
    int depth = 0;      // notifications of the control being delivered
    bool gone = false;  // the control has been destroyed
};

ConnectionBin::ConnectionBin() : state_(std::make_shared<State>()) {}

ConnectionBin::~ConnectionBin() {
    state_->gone = true;
    for (auto& connection : draining_) connection->close(*this, "closed with its window");
    draining_.clear();
    if (state_->depth > 0) {
        // One of these may be the notifier whose delivery is still on the stack.
        for (auto& notifier : notifiers_) notifier.release()->deleteLater();
    }
    notifiers_.clear();
}

ConnectionBin::Activation::Activation(ConnectionBin& bin) : state_(bin.state_) {
    if (state_->depth == 0) bin.purge();
    ++state_->depth;
}

ConnectionBin::Activation::~Activation() { --state_->depth; }

bool ConnectionBin::Activation::ownerGone() const { return state_->gone; }

bool ConnectionBin::raise(const Handler& handler, const Activation& activation) {
    if (handler) {
        const Handler copy = handler;
        copy();
    }
    return !activation.ownerGone();
}

void ConnectionBin::keep(std::unique_ptr<QSocketNotifier> notifier) {
    notifiers_.push_back(std::move(notifier));
}

void ConnectionBin::release(std::unique_ptr<StreamConnection> connection) {
    if (!connection) return;
    if (connection->queuedBytes() == 0) {
        connection->close(*this, "");
        return;
    }
    connection->stopReading();
    StreamConnection* raw = connection.get();
    raw->onReadable(nullptr);
    raw->onQueueIdle([this, raw] { closeDrained(raw); });
    draining_.push_back(std::move(connection));
}

void ConnectionBin::purge() {
    if (state_->depth == 0) notifiers_.clear();
}

void ConnectionBin::closeDrained(StreamConnection* connection) {
    const auto found =
        std::find_if(draining_.begin(), draining_.end(),
                     [connection](const auto& held) { return held.get() == connection; });
    if (found == draining_.end()) return;
    std::unique_ptr<StreamConnection> done = std::move(*found);
    draining_.erase(found);
    done->close(*this, "");
}

}  // namespace exam
