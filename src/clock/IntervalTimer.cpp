#include "clock/IntervalTimer.h"

#include <QTimer>

namespace exam {

struct IntervalTimer::Impl {
    std::int32_t period = 0;
    Handler tick;
    std::unique_ptr<QTimer> timer;
    int ticking = 0;  // tick handlers on the stack
    std::shared_ptr<bool> alive = std::make_shared<bool>(true);

    ~Impl() {
        *alive = false;
        timer->stop();
        // Destroyed from inside its own tick: the timer is still delivering that tick.
        if (ticking > 0) {
            QObject::disconnect(timer.get(), nullptr, nullptr, nullptr);
            timer.release()->deleteLater();
        }
    }

    void onTimeout() {
        const std::shared_ptr<bool> stillAlive = alive;
        const Handler handler = tick;  // a copy: the handler may rebind itself
        ++ticking;
        if (handler) handler();
        if (*stillAlive) --ticking;
    }
};

IntervalTimer::IntervalTimer(std::int32_t period) : impl_(std::make_unique<Impl>()) {
    Impl& d = *impl_;
    // Qt's own timer merges expiries that fall due while the thread is busy into one timeout
    // and re-anchors its schedule to it, which is exactly the tick rule; PreciseTimer keeps
    // it from drifting late.
    d.timer = std::make_unique<QTimer>();
    d.timer->setTimerType(Qt::PreciseTimer);
    QObject::connect(d.timer.get(), &QTimer::timeout, [&d] { d.onTimeout(); });
    setPeriod(period);
}

IntervalTimer::~IntervalTimer() = default;

void IntervalTimer::bind(Event, Handler handler) { impl_->tick = std::move(handler); }

std::int32_t IntervalTimer::period() const { return impl_->period; }

void IntervalTimer::setPeriod(std::int32_t period) {
    Impl& d = *impl_;
    if (period < 0) period = 0;
    // QTimer restarts on any write, an equal one included; the same period keeps the phase.
    if (period == d.period) return;
    d.period = period;
    d.timer->stop();
    if (period > 0) d.timer->start(period);
}

}  // namespace exam
