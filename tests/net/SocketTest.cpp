// The platform socket layer's bounded connect: a refused connect fails at once, and one that
// the peer never answers gives up at its limit instead of the system's two minutes of retries.
#include <QtTest>

#include <cerrno>

#include "PlainPeer.h"
#include "net/Socket.h"

namespace sock = exam::socket;

class SocketTest : public QObject {
    Q_OBJECT
private slots:
    void connectFailure_data();
    void connectFailure();
};

void SocketTest::connectFailure_data() {
    QTest::addColumn<bool>("answered");
    QTest::addColumn<int>("error");
    QTest::newRow("refused") << true << ECONNREFUSED;
    QTest::newRow("never answered") << false << ETIMEDOUT;
}

void SocketTest::connectFailure() {
    QFETCH(bool, answered);
    QFETCH(int, error);
    std::uint16_t port = peer::freePort();
    // A listener whose accept queue is full drops further connection requests unanswered.
    peer::Fd listener;
    peer::Fd filler;
    if (!answered) {
        listener = peer::listenOn("127.0.0.9", 0, 0);
        port = peer::localPort(listener.get());
        filler = peer::connectTo("127.0.0.9", port);
        QVERIFY(filler.valid());
    }
    const auto address = sock::resolveIpv4(answered ? "127.0.0.1" : "127.0.0.9");
    QVERIFY(address);
    int failure = 0;
    const sock::Handle handle =
        sock::connectTo({*address, port}, std::chrono::milliseconds(300), &failure);
    QCOMPARE(handle, sock::kNoHandle);
    QCOMPARE(failure, error);
}

QTEST_GUILESS_MAIN(SocketTest)
#include "SocketTest.moc"
