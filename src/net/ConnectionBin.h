// ConnectionBin: what a transport control (TcpClient, TcpListener) has let go of but may not
// destroy yet. A handler may disconnect, reconnect or change the port from inside one of the
// control's own notifications, so the notifier that is being delivered can't be deleted on the
// spot: it is silenced and kept here until no notification of the control is on the stack.
// Connections let go of with bytes still queued stay here, writing, until the queue is empty or
// fails, so that a graceful close still delivers every byte that send accepted.
//
// Owned by its control; UI thread only.
#pragma once

#include <QSocketNotifier>

#include <memory>
#include <vector>

#include "core/Handler.h"

namespace exam {

class StreamConnection;

class ConnectionBin {
    struct State;

public:
    ConnectionBin();
    // Closes what is still draining (dropping its queued bytes, with a log line). Notifiers are
    // deleted at once, or deferred when the control is destroyed from inside its own handler.
    ~ConnectionBin();
    ConnectionBin(const ConnectionBin&) = delete;
    ConnectionBin& operator=(const ConnectionBin&) = delete;

    // Marks the delivery of one of the control's notifications. While one exists, nothing the
    // bin holds is deleted. It outlives the bin safely, so a handler that destroys the control
    // leaves it able to tell (ownerGone) and return at once.
    class Activation {
    public:
        explicit Activation(ConnectionBin& bin);
        ~Activation();
        Activation(const Activation&) = delete;
        Activation& operator=(const Activation&) = delete;
        bool ownerGone() const;

    private:
        std::shared_ptr<State> state_;
    };

    // Runs `handler` (a copy, so that a handler may rebind itself). False when the control was
    // destroyed meanwhile: the caller must then return without touching it.
    static bool raise(const Handler& handler, const Activation& activation);

    // Takes a silenced notifier.
    void keep(std::unique_ptr<QSocketNotifier> notifier);
    // Takes a connection that the control no longer uses: closed at once when nothing is queued,
    // otherwise closed when its queue has been written or has failed.
    void release(std::unique_ptr<StreamConnection> connection);
    // Deletes what may be deleted now.
    void purge();

private:
    void closeDrained(StreamConnection* connection);

    std::shared_ptr<State> state_;
    std::vector<std::unique_ptr<QSocketNotifier>> notifiers_;
    std::vector<std::unique_ptr<StreamConnection>> draining_;
};

}  // namespace exam
