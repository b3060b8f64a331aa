// The client connection against plain-socket peers on loopback: the exact bytes on the wire,
// arrivals, peer close, connect failures, replacing connections from inside handlers, and
// sends that outgrow the socket's buffer.
#include <QtTest>

#include <memory>

#include <netdb.h>

#include "PlainPeer.h"
#include "clock/IntervalTimer.h"
#include "net/StreamConnection.h"
#include "net/TcpClient.h"

using exam::Bytes;
using exam::TcpClient;
using exam::Text;

namespace {

constexpr int kWaitMs = peer::kWatchdogMs;

// Everything a client raised, in order.
struct Recorder {
    std::vector<std::string> events;  // "data:<bytes>" or "closed"
    std::vector<std::size_t> sizes;
    std::string bytes;
    int closed = 0;

    void attach(TcpClient& client) {
        client.bind(TcpClient::DataArrival, [this, &client] {
            const Bytes data = client.receivedData();
            events.push_back("data:" + data);
            sizes.push_back(data.size());
            bytes += data;
        });
        client.bind(TcpClient::ConnectionClosed, [this] {
            events.push_back("closed");
            ++closed;
        });
    }
};

// A loopback listener with the client connected to it and the accepted end in hand.
struct Pair {
    peer::Fd listener = peer::listenOn("127.0.0.1");
    TcpClient client;
    peer::Fd far;

    bool connect() {
        if (!client.connect(Text("127.0.0.1"), peer::localPort(listener.get()))) return false;
        far = peer::acceptOne(listener.get());
        return far.valid();
    }
};

// Lets pending notifications run for a while, to show that nothing more is raised.
void settle() { QTest::qWait(200); }

}  // namespace

class TcpClientTest : public QObject {
    Q_OBJECT
private slots:
    void bytesOnTheWire_data();
    void bytesOnTheWire();
    void emptySend_data();
    void emptySend();
    void whatHasArrivedComesAsOneArrival_data();
    void whatHasArrivedComesAsOneArrival();
    void aLargeWriteArrivesInBoundedPieces();
    void peerCloseIsRaisedOnce_data();
    void peerCloseIsRaisedOnce();
    void connectFails_data();
    void connectFails();
    void portBelowOneConnectsToPortOne_data();
    void portBelowOneConnectsToPortOne();
    void connectsByHostName();
    void reconnectReplacesSilently();
    void handlersMayReplaceTheConnection_data();
    void handlersMayReplaceTheConnection();
    void receivedDataOnlyDuringTheEvent();
    void aHandlerRunningANestedLoopKeepsItsBytes();
    void disconnectIsHarmlessWhenRepeated();
    void queuedSendsArriveInOrder_data();
    void queuedSendsArriveInOrder();
    void largeSendToASlowReaderKeepsTheThreadFree();
    void failedConnectionDropsItsQueueVisibly();
    void destructionRaisesNothing();
};

void TcpClientTest::bytesOnTheWire_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("asText");
    QTest::newRow("text ab is 61 62") << QByteArray("ab") << true;
    QTest::newRow("gbk text") << QByteArray::fromStdString(GBK("考试系统").bytes()) << true;
    QTest::newRow("bytes keep their zeros") << QByteArray("a\0b\0", 4) << false;
}

void TcpClientTest::bytesOnTheWire() {
    QFETCH(QByteArray, bytes);
    QFETCH(bool, asText);
    Pair pair;
    QVERIFY(pair.connect());
    const std::string data = bytes.toStdString();
    QVERIFY(asText ? pair.client.send(Text(data)) : pair.client.send(std::string_view(data)));
    pair.client.disconnect();
    // Up to the peer's end of stream: no terminator, nothing before or after.
    std::string wire;
    QVERIFY(peer::readToEnd(pair.far.get(), wire));
    QCOMPARE(QByteArray::fromStdString(wire).toHex(' '), bytes.toHex(' '));
}

void TcpClientTest::emptySend_data() {
    QTest::addColumn<QString>("state");
    QTest::addColumn<bool>("expected");
    QTest::newRow("connected") << "connected" << true;
    QTest::newRow("never connected") << "never" << false;
    QTest::newRow("after disconnect") << "disconnected" << false;
    QTest::newRow("after a failed connect") << "failed" << false;
}

void TcpClientTest::emptySend() {
    QFETCH(QString, state);
    QFETCH(bool, expected);
    Pair pair;
    if (state != "never") QVERIFY(pair.connect());
    if (state == "disconnected") pair.client.disconnect();
    if (state == "failed") QVERIFY(!pair.client.connect(Text(""), 1));

    QCOMPARE(pair.client.send(Text("")), expected);
    QCOMPARE(pair.client.send(std::string_view()), expected);
    if (state != "connected") {
        QVERIFY(!pair.client.send(Text("x")));
        return;
    }
    QVERIFY(pair.client.send(Text("z")));
    pair.client.disconnect();
    std::string wire;
    QVERIFY(peer::readToEnd(pair.far.get(), wire));
    QCOMPARE(wire, std::string("z"));
}

void TcpClientTest::whatHasArrivedComesAsOneArrival_data() {
    QTest::addColumn<QStringList>("writes");
    QTest::addColumn<int>("repeat");
    QTest::newRow("two quick writes") << QStringList{"ab", "cd"} << 1;
    QTest::newRow("a 60000-byte message") << QStringList{"0123456789"} << 6000;
}

void TcpClientTest::whatHasArrivedComesAsOneArrival() {
    QFETCH(QStringList, writes);
    QFETCH(int, repeat);
    Pair pair;
    Recorder recorder;
    recorder.attach(pair.client);
    QVERIFY(pair.connect());
    std::string all;
    for (const QString& write : writes) {
        const std::string piece = write.toStdString();
        std::string bytes;
        for (int i = 0; i < repeat; ++i) bytes += piece;
        QVERIFY(peer::writeAll(pair.far.get(), bytes));
        all += bytes;
    }
    QVERIFY(QTest::qWaitFor([&] { return !recorder.sizes.empty(); }, kWaitMs));
    settle();
    QCOMPARE(recorder.sizes.size(), std::size_t(1));
    QCOMPARE(recorder.bytes, all);
}

void TcpClientTest::aLargeWriteArrivesInBoundedPieces() {
    // The peer writes faster than the client reads; no arrival may pile the stream up.
    Pair pair;
    Recorder recorder;
    recorder.attach(pair.client);
    QVERIFY(pair.connect());
    const std::string data = peer::pattern(24 * 1024 * 1024);
    std::thread writer([&] {
        peer::writeAll(pair.far.get(), data);
        ::shutdown(pair.far.get(), SHUT_WR);
    });
    const bool closed = QTest::qWaitFor([&] { return recorder.closed > 0; }, kWaitMs);
    writer.join();
    QVERIFY(closed);
    QVERIFY(recorder.bytes == data);
    QVERIFY(recorder.sizes.size() > 1);
    QVERIFY(*std::max_element(recorder.sizes.begin(), recorder.sizes.end()) <=
            exam::StreamConnection::kArrivalLimit);
}

void TcpClientTest::peerCloseIsRaisedOnce_data() {
    QTest::addColumn<bool>("reset");
    QTest::newRow("orderly close") << false;
    QTest::newRow("reset") << true;
}

void TcpClientTest::peerCloseIsRaisedOnce() {
    QFETCH(bool, reset);
    Pair pair;
    Recorder recorder;
    recorder.attach(pair.client);
    QVERIFY(pair.connect());
    if (reset) {
        peer::resetConnection(pair.far);
    } else {
        QVERIFY(peer::writeAll(pair.far.get(), "bye"));
        pair.far.reset();
    }
    QVERIFY(QTest::qWaitFor([&] { return recorder.closed > 0; }, kWaitMs));
    settle();
    const std::vector<std::string> expected =
        reset ? std::vector<std::string>{"closed"} : std::vector<std::string>{"data:bye", "closed"};
    QCOMPARE(recorder.events, expected);
    QVERIFY(pair.client.connected());
    // Still offered to the system, which takes the first send after an orderly close.
    if (!reset) QVERIFY(pair.client.send(Text("late")));
}

void TcpClientTest::connectFails_data() {
    QTest::addColumn<QByteArray>("host");
    QTest::addColumn<int>("port");
    QTest::newRow("empty host") << QByteArray() << 80;
    QTest::newRow("nothing listening") << QByteArray("127.0.0.1") << int(peer::freePort());
    QTest::newRow("port above 65535") << QByteArray("127.0.0.1") << 65536 + 80;
}

void TcpClientTest::connectFails() {
    QFETCH(QByteArray, host);
    QFETCH(int, port);
    // A connection held before is closed first, without ConnectionClosed.
    Pair pair;
    Recorder recorder;
    recorder.attach(pair.client);
    QVERIFY(pair.connect());
    QVERIFY(!pair.client.connect(Text(host.toStdString()), port));
    QVERIFY(!pair.client.connected());
    QVERIFY(!pair.client.send(Text("x")));
    std::string wire;
    QVERIFY(peer::readToEnd(pair.far.get(), wire));
    QCOMPARE(wire, std::string());
    settle();
    QCOMPARE(recorder.events, std::vector<std::string>());
}

void TcpClientTest::portBelowOneConnectsToPortOne_data() {
    QTest::addColumn<int>("port");
    QTest::newRow("0") << 0;
    QTest::newRow("-5") << -5;
}

void TcpClientTest::portBelowOneConnectsToPortOne() {
    QFETCH(int, port);
    peer::Fd listener = peer::listenOn("127.0.0.61", 1);
    if (!listener.valid()) QSKIP("port 1 can't be bound here (needs root)");
    TcpClient client;
    QVERIFY(client.connect(Text("127.0.0.61"), port));
    peer::Fd far = peer::acceptOne(listener.get());
    QVERIFY(far.valid());
    QVERIFY(client.send(Text("one")));
    client.disconnect();
    std::string wire;
    QVERIFY(peer::readToEnd(far.get(), wire));
    QCOMPARE(wire, std::string("one"));
}

void TcpClientTest::connectsByHostName() {
    // A machine without /etc/hosts (a bare chroot) cannot name itself; that is no client fault.
    addrinfo hints{};
    hints.ai_family = AF_INET;
    addrinfo* found = nullptr;
    if (getaddrinfo("localhost", nullptr, &hints, &found) != 0) {
        QSKIP("this machine does not resolve localhost");
    }
    freeaddrinfo(found);
    Pair pair;
    QVERIFY(pair.client.connect(Text("localhost"), peer::localPort(pair.listener.get())));
    pair.far = peer::acceptOne(pair.listener.get());
    QVERIFY(pair.far.valid());
}

void TcpClientTest::reconnectReplacesSilently() {
    Pair first;
    Recorder recorder;
    recorder.attach(first.client);
    QVERIFY(first.connect());
    // Not yet delivered when the connection is replaced: lost with it.
    QVERIFY(peer::writeAll(first.far.get(), "old"));

    peer::Fd second = peer::listenOn("127.0.0.2");
    QVERIFY(first.client.connect(Text("127.0.0.2"), peer::localPort(second.get())));
    peer::Fd far = peer::acceptOne(second.get());
    QVERIFY(far.valid());
    std::string wire;
    QVERIFY(peer::readToEnd(first.far.get(), wire));

    QVERIFY(first.client.send(Text("new")));
    QVERIFY(peer::writeAll(far.get(), "hello"));
    QVERIFY(QTest::qWaitFor([&] { return !recorder.events.empty(); }, kWaitMs));
    settle();
    QCOMPARE(recorder.events, std::vector<std::string>{"data:hello"});
    first.client.disconnect();
    QVERIFY(peer::readToEnd(far.get(), wire));
    QCOMPARE(wire, std::string("new"));
}

void TcpClientTest::handlersMayReplaceTheConnection_data() {
    QTest::addColumn<int>("event");
    QTest::addColumn<QString>("action");
    QTest::newRow("reconnect in DataArrival") << int(TcpClient::DataArrival) << "reconnect";
    QTest::newRow("disconnect in DataArrival") << int(TcpClient::DataArrival) << "disconnect";
    QTest::newRow("reconnect in ConnectionClosed")
        << int(TcpClient::ConnectionClosed) << "reconnect";
    QTest::newRow("destroy in DataArrival") << int(TcpClient::DataArrival) << "destroy";
    QTest::newRow("destroy in ConnectionClosed") << int(TcpClient::ConnectionClosed) << "destroy";
}

void TcpClientTest::handlersMayReplaceTheConnection() {
    QFETCH(int, event);
    QFETCH(QString, action);
    peer::Fd first = peer::listenOn("127.0.0.1");
    peer::Fd second = peer::listenOn("127.0.0.3");
    auto client = std::make_unique<TcpClient>();
    int handled = 0;
    int otherEvents = 0;
    const auto other = event == TcpClient::DataArrival ? TcpClient::ConnectionClosed
                                                       : TcpClient::DataArrival;
    client->bind(other, [&] { ++otherEvents; });
    client->bind(TcpClient::Event(event), [&] {
        ++handled;
        if (action == "reconnect") {
            QVERIFY(client->connect(Text("127.0.0.3"), peer::localPort(second.get())));
            QVERIFY(client->send(Text("again")));
        } else if (action == "disconnect") {
            client->disconnect();
        } else {
            client.reset();
        }
    });
    QVERIFY(client->connect(Text("127.0.0.1"), peer::localPort(first.get())));
    peer::Fd far = peer::acceptOne(first.get());
    QVERIFY(peer::writeAll(far.get(), "go"));
    far.reset();
    QVERIFY(QTest::qWaitFor([&] { return handled > 0; }, kWaitMs));
    settle();
    QCOMPARE(handled, 1);
    // The connection that ended was replaced or dropped in the handler: nothing else of it.
    if (event == TcpClient::DataArrival) QCOMPARE(otherEvents, 0);
    if (action == "reconnect") {
        peer::Fd next = peer::acceptOne(second.get());
        QVERIFY(next.valid());
        client->disconnect();
        std::string wire;
        QVERIFY(peer::readToEnd(next.get(), wire));
        QCOMPARE(wire, std::string("again"));
    }
    if (action == "destroy") QVERIFY(!client);
}

void TcpClientTest::receivedDataOnlyDuringTheEvent() {
    Pair pair;
    Bytes during;
    pair.client.bind(TcpClient::DataArrival, [&] { during = pair.client.receivedData(); });
    QCOMPARE(pair.client.receivedData(), Bytes());
    QVERIFY(pair.connect());
    QVERIFY(peer::writeAll(pair.far.get(), std::string("x\0y", 3)));
    QVERIFY(QTest::qWaitFor([&] { return !during.empty(); }, kWaitMs));
    QCOMPARE(during, Bytes("x\0y", 3));
    QCOMPARE(pair.client.receivedData(), Bytes());
}

void TcpClientTest::aHandlerRunningANestedLoopKeepsItsBytes() {
    // A reply handler may open a modal window: its loop delivers the connection's next arrival
    // while the first handler is still running.
    Pair pair;
    std::vector<Bytes> seen;
    pair.client.bind(TcpClient::DataArrival, [&] {
        seen.push_back(pair.client.receivedData());
        if (seen.size() > 1) return;
        QVERIFY(peer::writeAll(pair.far.get(), "second"));
        QVERIFY(QTest::qWaitFor([&] { return seen.size() > 1; }, kWaitMs));
        seen.push_back(pair.client.receivedData());
    });
    QVERIFY(pair.connect());
    QVERIFY(peer::writeAll(pair.far.get(), "first"));
    QVERIFY(QTest::qWaitFor([&] { return seen.size() >= 3; }, kWaitMs));
    QCOMPARE(seen, (std::vector<Bytes>{"first", "second", "first"}));
    QCOMPARE(pair.client.receivedData(), Bytes());
}

void TcpClientTest::disconnectIsHarmlessWhenRepeated() {
    TcpClient never;
    never.disconnect();
    QVERIFY(!never.connected());
    Pair pair;
    QVERIFY(pair.connect());
    QVERIFY(pair.client.connected());
    pair.client.disconnect();
    pair.client.disconnect();
    QVERIFY(!pair.client.connected());
    QVERIFY(!pair.client.send(Text("x")));
}

void TcpClientTest::queuedSendsArriveInOrder_data() {
    QTest::addColumn<bool>("disconnectAfterSending");
    QTest::newRow("connection kept") << false;
    QTest::newRow("disconnect right after sending") << true;
}

void TcpClientTest::queuedSendsArriveInOrder() {
    // Far more than the socket's buffers take while the peer does not read.
    QFETCH(bool, disconnectAfterSending);
    Pair pair;
    QVERIFY(pair.connect());
    const std::string big = peer::pattern(16 * 1024 * 1024);
    QVERIFY(pair.client.send(std::string_view(big)));
    QVERIFY(pair.client.send(Text("tail")));
    if (disconnectAfterSending) {
        pair.client.disconnect();
        QVERIFY(!pair.client.send(Text("x")));
    }
    std::string wire;
    QVERIFY(peer::readWhileLooping(pair.far.get(), wire, big.size() + 4));
    QVERIFY(wire == big + "tail");
    if (disconnectAfterSending) QVERIFY(peer::readToEnd(pair.far.get(), wire));
}

void TcpClientTest::largeSendToASlowReaderKeepsTheThreadFree() {
    Pair pair;
    QVERIFY(pair.connect());
    const std::string data = peer::pattern(32 * 1024 * 1024);
    peer::SlowReader reader(std::move(pair.far), data.size(), 256 * 1024, 2);
    int ticks = 0;
    exam::IntervalTimer timer(10);
    timer.bind(exam::IntervalTimer::Tick, [&] { ++ticks; });
    QVERIFY(pair.client.send(std::string_view(data)));
    QVERIFY(reader.received() < data.size());
    QVERIFY(QTest::qWaitFor([&] { return reader.finished(); }, 60000));
    QCOMPARE(reader.received(), data.size());
    QVERIFY(reader.identical());
    QVERIFY(ticks >= 3);
}

void TcpClientTest::failedConnectionDropsItsQueueVisibly() {
    Pair pair;
    Recorder recorder;
    recorder.attach(pair.client);
    QVERIFY(pair.connect());
    QVERIFY(pair.client.send(std::string_view(peer::pattern(16 * 1024 * 1024))));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("queued bytes .* dropped"));
    peer::resetConnection(pair.far);
    QVERIFY(QTest::qWaitFor([&] { return recorder.closed > 0; }, kWaitMs));
    settle();
    QCOMPARE(recorder.closed, 1);
}

void TcpClientTest::destructionRaisesNothing() {
    peer::Fd listener = peer::listenOn("127.0.0.1");
    Recorder recorder;
    peer::Fd far;
    {
        TcpClient client;
        recorder.attach(client);
        QVERIFY(client.connect(Text("127.0.0.1"), peer::localPort(listener.get())));
        far = peer::acceptOne(listener.get());
        QVERIFY(client.send(std::string_view(peer::pattern(16 * 1024 * 1024))));
        QVERIFY(peer::writeAll(far.get(), "unread"));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("queued bytes .* dropped"));
    }
    std::string wire;
    QVERIFY(peer::readToEnd(far.get(), wire));
    settle();
    QCOMPARE(recorder.events, std::vector<std::string>());
}

QTEST_GUILESS_MAIN(TcpClientTest)
#include "TcpClientTest.moc"
