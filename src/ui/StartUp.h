// StartUp: the life of the process. startUp loads the four window definitions, empties the
// client state, registers the shut-down routine, opens LoginWindow and runs the message loop
// until the last window is destroyed. The fatal-error box is a real message box from here on.
//
// Called once by main on the UI thread, after the QApplication is made.
#pragma once

#include <QString>

namespace exam {

class WindowSystem;

// Defines LoginWindow, ConfirmWindow, NoticeWindow and ConsoleWindow in `system`.
void defineWindows(WindowSystem& system);

// Shows the fatal-error box: the error icon, an OK button, owned by no window.
void installFatalErrorBox();

// The process entry; returns 0 when the last window has been destroyed. A start window that
// cannot be opened is the fatal stop "载入启动窗口失败".
int startUp();

// Opens each of the four windows alone (not modally) and writes `<name>.png` (the window) and
// `<name>-screen.png` (the whole screen) into `folder`. Returns 0 when all eight were written.
int writeScreenshots(const QString& folder);

}  // namespace exam
