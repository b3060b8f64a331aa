// The interval timer's period rules, checked by the order in which it ticks against a reference
// timer started at a known moment, so that no assertion depends on how late a tick comes.
#include <QtTest>

#include <chrono>
#include <memory>
#include <thread>

#include "clock/IntervalTimer.h"

using exam::IntervalTimer;

namespace {

constexpr int kWaitMs = 10000;

// Runs `action` once, `ms` after now, on the UI thread.
void later(int ms, std::function<void()> action) {
    QTimer::singleShot(ms, Qt::PreciseTimer, std::move(action));
}

}  // namespace

class IntervalTimerTest : public QObject {
    Q_OBJECT
private slots:
    void writesDuringARun_data();
    void writesDuringARun();
    void stoppingWrites_data();
    void stoppingWrites();
    void aBlockedThreadYieldsOneTickAfterwards_data();
    void aBlockedThreadYieldsOneTickAfterwards();
    void destroyedFromItsOwnTick();
};

void IntervalTimerTest::writesDuringARun_data() {
    QTest::addColumn<QList<int>>("writes");
    QTest::addColumn<bool>("keepsPhase");
    QTest::newRow("equal write keeps the phase") << QList<int>{1000} << true;
    QTest::newRow("0 then 1000 restarts") << QList<int>{0, 1000} << false;
    QTest::newRow("a new value restarts") << QList<int>{999} << false;
    QTest::newRow("-5 then 1000 restarts") << QList<int>{-5, 1000} << false;
}

void IntervalTimerTest::writesDuringARun() {
    // `timer` runs from t0, `reference` from a moment t1 between t0 and the writes, both at
    // 1000 ms. Kept phase: timer is due at t0 + 1000, before reference. Restarted: at the
    // write + its period, after reference.
    QFETCH(QList<int>, writes);
    QFETCH(bool, keepsPhase);
    QStringList order;
    IntervalTimer timer(1000);
    timer.bind(IntervalTimer::Tick, [&] { order << "timer"; });
    std::unique_ptr<IntervalTimer> reference;
    later(100, [&] {
        reference = std::make_unique<IntervalTimer>(1000);
        reference->bind(IntervalTimer::Tick, [&] { order << "reference"; });
    });
    later(300, [&] {
        for (int period : writes) timer.setPeriod(period);
    });
    QVERIFY(QTest::qWaitFor([&] { return order.size() >= 2; }, kWaitMs));
    QCOMPARE(order.first(), keepsPhase ? "timer" : "reference");
    QCOMPARE(timer.period(), writes.last());
}

void IntervalTimerTest::stoppingWrites_data() {
    QTest::addColumn<int>("period");
    QTest::addColumn<bool>("insideTick");
    QTest::newRow("0") << 0 << false;
    QTest::newRow("-5") << -5 << false;
    QTest::newRow("0 from its own tick") << 0 << true;
}

void IntervalTimerTest::stoppingWrites() {
    QFETCH(int, period);
    QFETCH(bool, insideTick);
    int ticks = 0;
    IntervalTimer timer(20);
    timer.bind(IntervalTimer::Tick, [&] {
        ++ticks;
        if (insideTick) timer.setPeriod(period);
    });
    if (insideTick) {
        QVERIFY(QTest::qWaitFor([&] { return ticks > 0; }, kWaitMs));
    } else {
        timer.setPeriod(period);
    }
    QCOMPARE(timer.period(), 0);
    const int stoppedAt = ticks;
    bool done = false;
    later(300, [&] { done = true; });
    QVERIFY(QTest::qWaitFor([&] { return done; }, kWaitMs));
    QCOMPARE(ticks, stoppedAt);
    QCOMPARE(IntervalTimer(-5).period(), 0);
}

void IntervalTimerTest::aBlockedThreadYieldsOneTickAfterwards_data() {
    QTest::addColumn<bool>("ownHandler");
    QTest::newRow("its own tick handler blocks") << true;
    QTest::newRow("another handler blocks") << false;
}

void IntervalTimerTest::aBlockedThreadYieldsOneTickAfterwards() {
    // Five periods fall due while the thread is blocked; they come as one tick, and the next
    // one is a whole period after it, not a burst of make-up ticks.
    QFETCH(bool, ownHandler);
    QElapsedTimer clock;
    clock.start();
    std::vector<qint64> ticks;
    qint64 unblockedAt = -1;
    const auto block = [&] {
        std::this_thread::sleep_for(std::chrono::seconds(5));
        unblockedAt = clock.elapsed();
    };
    IntervalTimer timer(1000);
    timer.bind(IntervalTimer::Tick, [&] {
        ticks.push_back(clock.elapsed());
        if (ownHandler && ticks.size() == 1) block();
    });
    if (!ownHandler) later(1200, block);
    // ticks[0] comes before the block either way.
    const std::size_t tickBefore = 1;
    QVERIFY(QTest::qWaitFor([&] { return ticks.size() >= tickBefore + 2; }, kWaitMs + 5000));
    QVERIFY(unblockedAt >= 0);
    // ticks[tickBefore] is the merged one, the first after the block.
    QVERIFY(ticks[tickBefore] >= unblockedAt);
    QVERIFY2(ticks[tickBefore + 1] - ticks[tickBefore] >= 500,
             qPrintable(QString("ticks %1 and %2 came %3 ms apart")
                            .arg(tickBefore)
                            .arg(tickBefore + 1)
                            .arg(ticks[tickBefore + 1] - ticks[tickBefore])));
}

void IntervalTimerTest::destroyedFromItsOwnTick() {
    int ticks = 0;
    auto timer = std::make_unique<IntervalTimer>(10);
    timer->bind(IntervalTimer::Tick, [&] {
        ++ticks;
        timer.reset();
    });
    QVERIFY(QTest::qWaitFor([&] { return !timer; }, kWaitMs));
    bool done = false;
    later(100, [&] { done = true; });
    QVERIFY(QTest::qWaitFor([&] { return done; }, kWaitMs));
    QCOMPARE(ticks, 1);
}

QTEST_GUILESS_MAIN(IntervalTimerTest)
#include "IntervalTimerTest.moc"
