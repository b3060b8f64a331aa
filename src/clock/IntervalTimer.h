// IntervalTimer: the timer control of a window. Raises `tick` (event index 0) every `period`
// milliseconds on the UI thread; period 0 means stopped. At most one tick is pending; ticks that
// fall due while a handler runs are merged into one and never made up.
//
// Owned by its window (destroyed with it, without raising events); UI thread only.
#pragma once

#include <cstdint>
#include <memory>

#include "core/Handler.h"

namespace exam {

class IntervalTimer {
public:
    enum Event : int { Tick = 0 };

    // A period above 0 starts the timer at once.
    explicit IntervalTimer(std::int32_t period = 0);
    ~IntervalTimer();
    IntervalTimer(const IntervalTimer&) = delete;
    IntervalTimer& operator=(const IntervalTimer&) = delete;

    void bind(Event event, Handler handler);

    std::int32_t period() const;
    // Negative is taken as 0; an equal value changes nothing (the phase is kept); a new value
    // restarts the timer with the first tick one period after the write.
    void setPeriod(std::int32_t period);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace exam
