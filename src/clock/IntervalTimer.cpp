// Placeholder until the timer lands: never ticks.
#include "clock/IntervalTimer.h"

namespace exam {

struct IntervalTimer::Impl {
    std::int32_t period = 0;
    Handler tick;
};

IntervalTimer::IntervalTimer(std::int32_t period) : impl_(std::make_unique<Impl>()) {
    setPeriod(period);
}
IntervalTimer::~IntervalTimer() = default;
void IntervalTimer::bind(Event, Handler handler) { impl_->tick = std::move(handler); }
std::int32_t IntervalTimer::period() const { return impl_->period; }
void IntervalTimer::setPeriod(std::int32_t period) { impl_->period = period < 0 ? 0 : period; }

}  // namespace exam
