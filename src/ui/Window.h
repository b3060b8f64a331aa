// Window: one open window of the system, built from its WindowDefinition. Owns the top-level
// widget with every visual control beneath it, and the components of the definition (timers,
// client connections, listeners, the archive component) by std::unique_ptr; all of them live
// and die with the window. Handlers of the definition receive the window and reach its
// controls by their definition names.
//
// Created and destroyed only by the WindowSystem (never from inside one of its own handlers:
// a window whose handler is still running is closed at once but freed after the handler has
// returned). UI thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "core/Text.h"
#include "ui/WindowDefinition.h"

class QEventLoop;
class QWidget;

namespace exam {

class IntervalTimer;
class TcpClient;
class TcpListener;
class WindowSystem;
class ZipArchiver;

class Window {
public:
    // Builds the window hidden; nullptr when the definition cannot be built (a parent that is
    // not a picture box or tab control defined before the control, a page out of range).
    static std::unique_ptr<Window> create(WindowSystem& system, const WindowDefinition& definition,
                                          std::uint64_t serial);
    ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    WindowId id() const { return definition_.id; }

    // The display operations on the controls of this window. A name the definition does not
    // hold, or a control of another kind, is a fault of the program and stops it.
    void setEnabled(const Text& control, bool enabled);
    void setText(const Text& control, const Text& text);  // label caption, edit box content
    Text getText(const Text& control) const;
    void setPicture(const Text& pictureBox, std::string_view bytes);
    void selectPage(const Text& tabControl, std::int32_t index);  // clamped to the pages

    // The components, by name.
    TcpClient& client(const Text& name);
    TcpListener& listener(const Text& name);
    IntervalTimer& timer(const Text& name);
    ZipArchiver& archiver(const Text& name);

    // For the window layer, the tests and the screenshots.
    QWidget* widget() const { return widget_; }
    QWidget* controlWidget(const Text& name) const;
    std::int32_t currentPage(const Text& tabControl) const;
    std::uint64_t serial() const { return serial_; }
    const WindowDefinition& definition() const { return definition_; }

private:
    friend class WindowSystem;
    struct Control;

    Window(WindowSystem& system, const WindowDefinition& definition, std::uint64_t serial);
    bool build();
    bool buildControl(const ControlDefinition& def);
    void bindComponentEvents(Control& control);
    void applyTabOrder();
    Control& find(const Text& name, ControlKind kind);
    const Control& find(const Text& name, ControlKind kind) const;
    Control* findAny(const Text& name) const;

    // Runs a bound handler; the window is not freed while any of its handlers runs.
    void dispatch(WindowHandler handler);
    void dispatch(const std::vector<EventBinding>& events, int event);
    // Called when the Esc key or a close request reaches the top-level widget.
    void requestClose();
    // Ends the window's life as seen by the system: no more events, hidden, its modal loop ends.
    void close();
    bool busy() const { return busyDepth_ > 0; }

    WindowSystem& system_;
    const WindowDefinition& definition_;
    std::uint64_t serial_;
    QWidget* widget_ = nullptr;  // owned: deleted (deferred) by ~Window
    std::vector<std::unique_ptr<Control>> controls_;
    QEventLoop* modalLoop_ = nullptr;  // borrowed: the loop of a modal openWindow
    int busyDepth_ = 0;
    bool closed_ = false;
};

}  // namespace exam
