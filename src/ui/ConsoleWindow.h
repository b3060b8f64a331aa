// ConsoleWindow: the small exam console that stays on screen for the whole exam (waiting,
// countdown and end pages), with its timers, connections, listeners and the archive
// component. Its definition and the handlers it binds.
#pragma once

#include "ui/WindowDefinition.h"

namespace exam {

WindowDefinition consoleWindowDefinition();

void onConsoleCreated(Window& window);
void onStartTrigger(Window& window);   // 时钟1 tick
void onCountdown(Window& window);      // 时钟2 tick
void onInputLock(Window& window);      // 时钟3 tick
void onPaperData(Window& window);      // 考题接受客户 DataArrival
void onCollectClient(Window& window);  // 服务器1 ClientEntered
void onFinishClient(Window& window);   // 服务器2 ClientEntered

}  // namespace exam
