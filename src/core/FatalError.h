// The one fatal stop of the system: an error box titled "错误", then the end of the process
// with exit status -1, without the shut-down routine. Any handler may raise it; it never
// returns, so the rest of that handler and every handler suspended beneath it are abandoned.
//
// The box is shown by whoever installed a presenter (the window layer does at start-up); with
// none installed the box text goes to standard error. UI thread only.
#pragma once

#include <cstdint>
#include <functional>

#include "core/Text.h"

namespace exam {

// "运行时出错!" CR LF CR LF, then "错误代码：" code CR LF CR LF when code is not 0, then
// "错误信息：" message CR LF when the message is not empty.
Text fatalErrorBoxText(std::int32_t code, const Text& message);

// The caption of the box: "错误".
const Text& fatalErrorCaption();

// Shows the box (text, caption) and returns once it is dismissed.
using FatalErrorPresenter = std::function<void(const Text& text, const Text& caption)>;
void setFatalErrorPresenter(FatalErrorPresenter presenter);

// Shows the box, then ends the process at once with exit status -1. The routine registered for
// the normal end (releaseClientState) does not run.
[[noreturn]] void raiseFatalError(std::int32_t code, const Text& message);

}  // namespace exam
