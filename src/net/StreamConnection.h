// StreamConnection: one connected TCP socket of a transport control, with its notifiers and the
// bytes queued for it. It reads in bounded arrivals and writes without ever blocking: bytes the
// system does not take at once wait in the queue and go out, in order, as the socket becomes
// writable.
//
// Owns the socket handle, its read notifier and (while bytes are queued) its write notifier.
// Owned by a TcpClient, a TcpListener or their ConnectionBin; UI thread only.
#pragma once

#include <QSocketNotifier>

#include <chrono>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "core/Text.h"
#include "net/Socket.h"

namespace exam {

class ConnectionBin;

class StreamConnection {
public:
    // The first read of an arrival is sized by the readable count, later ones take this much.
    static constexpr std::size_t kReadPiece = 64 * 1024;
    // An arrival stops growing here; the rest comes with the next notification. A message that
    // has arrived whole and is no larger is delivered in one arrival.
    static constexpr std::size_t kArrivalLimit = 1024 * 1024;

    // Takes `handle` (connected, non-blocking) and arms its read notifier. `peer` names the
    // connection in log lines.
    StreamConnection(socket::Handle handle, std::string peer);
    // Closes the socket if close() was not called, deleting the notifiers at once.
    ~StreamConnection();
    StreamConnection(const StreamConnection&) = delete;
    StreamConnection& operator=(const StreamConnection&) = delete;

    // Called on each readable notification.
    void onReadable(std::function<void()> handler) { readable_ = std::move(handler); }
    // Called when the queue has been written out, or dropped because a send failed.
    void onQueueIdle(std::function<void()> handler) { queueIdle_ = std::move(handler); }

    struct Arrival {
        Bytes bytes;
        bool ended = false;  // the peer closed or reset: reading has stopped for good
    };
    // Reads what the system holds, up to kArrivalLimit bytes. At the end of the stream the
    // read notifier is switched off, so a closed peer is reported once.
    Arrival read();

    // Sends what the system takes at once and queues the rest behind anything already queued.
    // False when the system refused the bytes with an error (nothing is queued then).
    bool send(std::string_view bytes);
    std::size_t queuedBytes() const { return queued_; }
    bool waitWritable(std::chrono::milliseconds limit) const;

    // Stops read notifications (the queue keeps going).
    void stopReading();
    // Silences both notifiers, hands them to `bin` and closes the socket. Queued bytes are
    // dropped, with a log line naming `why`.
    void close(ConnectionBin& bin, const char* why);
    // Closes the socket when the owning control has been destroyed from inside one of its own
    // handlers: a notifier may still be delivering, so the notifiers go with the event loop.
    void abandon();

    const std::string& peer() const { return peer_; }

private:
    void writeQueued();
    void dropQueue(const std::string& why);
    enum class NotifierEnd { Delete, DeleteLater, KeepInBin };
    void shutDown(std::unique_ptr<QSocketNotifier>& notifier, NotifierEnd end, ConnectionBin* bin);

    socket::Handle handle_;
    std::string peer_;
    std::unique_ptr<QSocketNotifier> readNotifier_;
    std::unique_ptr<QSocketNotifier> writeNotifier_;
    std::function<void()> readable_;
    std::function<void()> queueIdle_;
    std::deque<Bytes> queue_;
    std::size_t frontSent_ = 0;  // bytes of queue_.front() already sent
    std::size_t queued_ = 0;
};

}  // namespace exam
