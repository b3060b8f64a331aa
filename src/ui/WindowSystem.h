// WindowSystem: the window layer of the client on Qt Widgets. Holds the window definitions and
// the open windows, opens windows (modal ones in a nested event loop), hides and destroys them,
// shows message boxes, and runs the message loop for as long as any window exists.
//
// One instance, made after the QApplication and before any window opens; it is the "current"
// system that the free functions below (the ones the handlers call) act on. It owns every open
// Window. UI thread only.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include <QFont>
#include <QObject>
#include <QPointer>

#include "core/Text.h"
#include "ui/Window.h"
#include "ui/WindowDefinition.h"

class QEventLoop;
class QWidget;

namespace exam {

enum class Modality { Modeless, Modal };

class WindowSystem {
public:
    // Sets up the interface font and the loop rules; requires the QApplication.
    WindowSystem();
    ~WindowSystem();
    WindowSystem(const WindowSystem&) = delete;
    WindowSystem& operator=(const WindowSystem&) = delete;

    // The system the free functions act on; nullptr when none exists.
    static WindowSystem* current();

    void define(WindowDefinition definition);

    // Creates the window from its definition, runs its Created handler, shows it. Modal: every
    // other window is disabled and a nested loop runs until this window is destroyed; then
    // their enabled states are restored. A window that is already open is only brought to the
    // front. False when there is no definition or it cannot be built.
    bool openWindow(WindowId id, Modality modality);
    void setVisible(WindowId id, bool visible);
    // Destroys the window once the current handler has returned (a queued request that any
    // loop level processes). Its components go without raising events.
    void destroyWindow(WindowId id);

    Window* window(WindowId id) const;  // the open window, or nullptr
    bool anyWindow() const { return !open_.empty(); }

    // The message loop: returns when the last window has been destroyed (at once when none is
    // open).
    void run();

private:
    friend class Window;
    Window* bySerial(std::uint64_t serial) const;
    void destroyNow(std::uint64_t serial);
    void freeLater(Window* closed);  // a closed window whose handlers have all returned
    void keepForDeletion(QWidget* widget);

    std::map<WindowId, WindowDefinition> definitions_;
    std::vector<std::unique_ptr<Window>> open_;
    std::vector<std::unique_ptr<Window>> closing_;  // closed while a handler of theirs ran
    std::vector<QPointer<QWidget>> doomedWidgets_;  // deleteLater'd, deleted at the latest by ~WindowSystem
    QObject requests_;  // context of the queued destroy requests; dies with the system
    QEventLoop* mainLoop_ = nullptr;
    std::uint64_t nextSerial_ = 1;
};

// The operations of the handlers, on the current system.
bool openWindow(WindowId id, Modality modality);
void setVisible(WindowId id, bool visible);
void destroyWindow(WindowId id);
Window* findWindow(WindowId id);

// A task-modal message box with an OK button, owned by no window; returns when dismissed.
// Flags: 16 error, 32 question, 48 exclamation, 64 information icon. Without a caption the box
// is titled "信息：".
void messageBox(const Text& text, int flags);
void messageBox(const Text& text, int flags, const Text& caption);

// The interface font: "WenQuanYi Zen Hei" at `pixels` character height.
QFont interfaceFont(int pixels = 0);

}  // namespace exam
