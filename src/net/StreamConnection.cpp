#include "net/StreamConnection.h"

#include <QtGlobal>

#include <algorithm>

#include "net/ConnectionBin.h"

namespace exam {

StreamConnection::StreamConnection(socket::Handle handle, std::string peer)
    : handle_(handle),
      peer_(std::move(peer)),
      readNotifier_(std::make_unique<QSocketNotifier>(handle, QSocketNotifier::Read)) {
    // The handler is copied before it runs: it may end this connection.
    QObject::connect(readNotifier_.get(), &QSocketNotifier::activated, [this] {
        const auto handler = readable_;
        if (handler) handler();
    });
}

StreamConnection::~StreamConnection() {
    if (handle_ == socket::kNoHandle) return;
    if (queued_ > 0) dropQueue("connection destroyed");
    shutDown(readNotifier_, NotifierEnd::Delete, nullptr);
    shutDown(writeNotifier_, NotifierEnd::Delete, nullptr);
    socket::closeHandle(handle_);
}

StreamConnection::Arrival StreamConnection::read() {
    Arrival arrival;
    if (handle_ == socket::kNoHandle) return arrival;
    const auto readable = socket::readableCount(handle_);
    if (!readable) return arrival;
    Bytes& bytes = arrival.bytes;
    std::size_t piece = std::clamp<std::size_t>(*readable, 1, kArrivalLimit);
    for (;;) {
        const std::size_t before = bytes.size();
        bytes.resize(before + piece);
        const socket::IoResult got = socket::receive(handle_, bytes.data() + before, piece);
        bytes.resize(before + (got.status == socket::IoResult::Done ? got.count : 0));
        if (got.status == socket::IoResult::WouldBlock) break;
        if (got.status != socket::IoResult::Done) {
            // End of stream or a reset: either way nothing more will come.
            arrival.ended = true;
            stopReading();
            break;
        }
        if (bytes.size() >= kArrivalLimit) break;
        piece = std::min(kReadPiece, kArrivalLimit - bytes.size());
    }
    return arrival;
}

bool StreamConnection::send(std::string_view bytes) {
    if (handle_ == socket::kNoHandle) return false;
    if (bytes.empty()) return true;
    if (queued_ > 0) {
        // Behind bytes that are still waiting, to keep the order.
        queue_.emplace_back(bytes);
        queued_ += bytes.size();
        return true;
    }
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const socket::IoResult result =
            socket::sendSome(handle_, bytes.data() + sent, bytes.size() - sent);
        if (result.status == socket::IoResult::Done) {
            sent += result.count;
            continue;
        }
        if (result.status == socket::IoResult::WouldBlock) break;
        return false;
    }
    if (sent == bytes.size()) return true;

    queue_.emplace_back(bytes.substr(sent));
    queued_ = bytes.size() - sent;
    if (!writeNotifier_) {
        writeNotifier_ = std::make_unique<QSocketNotifier>(handle_, QSocketNotifier::Write);
        QObject::connect(writeNotifier_.get(), &QSocketNotifier::activated,
                         [this] { writeQueued(); });
    }
    writeNotifier_->setEnabled(true);
    return true;
}

void StreamConnection::writeQueued() {
    while (!queue_.empty()) {
        const Bytes& front = queue_.front();
        const socket::IoResult result =
            socket::sendSome(handle_, front.data() + frontSent_, front.size() - frontSent_);
        if (result.status == socket::IoResult::WouldBlock) return;
        if (result.status != socket::IoResult::Done) {
            dropQueue("send failed: " + socket::errorText(result.error));
            break;
        }
        frontSent_ += result.count;
        queued_ -= result.count;
        if (frontSent_ == front.size()) {
            queue_.pop_front();
            frontSent_ = 0;
        }
    }
    writeNotifier_->setEnabled(false);
    // May end this connection: nothing of it is touched afterwards.
    const auto idle = queueIdle_;
    if (idle) idle();
}

bool StreamConnection::waitWritable(std::chrono::milliseconds limit) const {
    return handle_ != socket::kNoHandle && socket::waitWritable(handle_, limit);
}

void StreamConnection::stopReading() {
    if (readNotifier_) readNotifier_->setEnabled(false);
}

void StreamConnection::close(ConnectionBin& bin, const char* why) {
    if (handle_ == socket::kNoHandle) return;
    if (queued_ > 0) dropQueue(why);
    // Notifiers are silenced before the descriptor goes away.
    shutDown(readNotifier_, NotifierEnd::KeepInBin, &bin);
    shutDown(writeNotifier_, NotifierEnd::KeepInBin, &bin);
    socket::closeHandle(handle_);
    handle_ = socket::kNoHandle;
}

void StreamConnection::abandon() {
    if (handle_ == socket::kNoHandle) return;
    if (queued_ > 0) dropQueue("closed with its window");
    shutDown(readNotifier_, NotifierEnd::DeleteLater, nullptr);
    shutDown(writeNotifier_, NotifierEnd::DeleteLater, nullptr);
    socket::closeHandle(handle_);
    handle_ = socket::kNoHandle;
}

void StreamConnection::dropQueue(const std::string& why) {
    qWarning("exam.net: %llu queued bytes to %s dropped (%s)",
             static_cast<unsigned long long>(queued_), peer_.c_str(), why.c_str());
    queue_.clear();
    frontSent_ = 0;
    queued_ = 0;
}

void StreamConnection::shutDown(std::unique_ptr<QSocketNotifier>& notifier, NotifierEnd end,
                                ConnectionBin* bin) {
    if (!notifier) return;
    notifier->setEnabled(false);
    QObject::disconnect(notifier.get(), nullptr, nullptr, nullptr);
    switch (end) {
        case NotifierEnd::Delete:
            notifier.reset();
            break;
        case NotifierEnd::DeleteLater:
            notifier.release()->deleteLater();
            break;
        case NotifierEnd::KeepInBin:
            bin->keep(std::move(notifier));
            break;
    }
}

}  // namespace exam
