// Handler: an event routine bound by a window definition to an event of one of its controls.
// Components raise their events by calling the bound handler synchronously on the UI thread;
// an event without a bound handler is dropped.
#pragma once

#include <functional>

namespace exam {

using Handler = std::function<void()>;

}  // namespace exam
