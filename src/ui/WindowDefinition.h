// WindowDefinition: the fixed layout of one window of the system and of every control on
// it, from which the window layer builds the window each time it is opened. Definitions are
// plain values: they own their texts and name their pictures by asset path; they hold no state
// of an open window.
//
// Handlers are bound by event index (the component's own Event enum, or the indexes below for
// the window and its buttons). A definition is built once at start-up and read on the UI thread.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "core/Text.h"
#include "net/TcpListener.h"

namespace exam {

class Window;

// The four windows of the system.
enum class WindowId { Login, Confirm, Notice, Console };

// A handler of a window definition; it reaches its window's controls through `window`.
using WindowHandler = void (*)(Window& window);

// Event indexes of the window and of the visual controls (components have their own).
enum WindowEvent : int { Created = 0 };
enum ButtonEvent : int { Clicked = 0 };

struct EventBinding {
    int event = 0;
    WindowHandler handler = nullptr;
};

enum class ControlKind {
    Label,
    EditBox,
    Button,
    CheckBox,
    PictureBox,
    TabControl,
    Timer,     // IntervalTimer
    Client,    // TcpClient
    Listener,  // TcpListener
    Archiver,  // ZipArchiver
};

// 0xRRGGBB.
using Colour = std::uint32_t;
inline constexpr Colour kBlack = 0x000000;
inline constexpr Colour kWhite = 0xFFFFFF;
inline constexpr Colour kButtonFace = 0xF0F0F0;  // the system's button-face colour

enum class Alignment { Left, Centre };

// How a picture box shows its picture.
enum class DisplayMode : int {
    OwnSize = 0,   // at its own size, top-left
    Stretch = 1,   // stretched to fill the box
    Centre = 2,    // centred, scaled down (keeping proportions) when larger than the box
};

enum class BackgroundMode { ButtonFace, Tiled, Stretched };

struct Rect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    friend bool operator==(const Rect&, const Rect&) = default;
};

struct EditOptions {
    bool multiLine = false;
    bool readOnly = false;
    bool verticalScrollBar = false;
    bool sunkenBorder = true;
    bool hideSelection = false;  // selection hidden while the box has no focus
    int maxLength = 0;           // 0: no limit
};

struct ControlDefinition {
    ControlKind kind = ControlKind::Label;
    Text name;          // unique within the window
    Text parent;        // empty: the window; else a picture box or tab control of the window
    int page = -1;      // the page of the parent tab control the control belongs to
    Rect geometry;      // relative to the parent's client area; unused by controls without a surface
    bool visible = true;
    bool disabled = false;
    int tabOrder = -1;  // -1: not in the tab order

    // Properties of the kind.
    Text caption;                 // label, button, check box
    int fontPixels = 0;           // character height; 0: the default interface font
    Colour textColour = kBlack;
    Colour background = kButtonFace;
    std::string_view backgroundPicture;  // label: asset drawn behind the text, aligned to the parent
    Alignment alignment = Alignment::Left;
    bool border = false;
    std::string_view picture;     // picture box: asset shown at creation
    DisplayMode displayMode = DisplayMode::OwnSize;
    EditOptions edit;
    int pages = 0;                // tab control: number of pages (no tab strip is ever shown)
    std::int32_t timerPeriod = 0;
    std::int32_t listenerPort = TcpListener::kDefaultPort;

    std::vector<EventBinding> events;
};

struct WindowDefinition {
    WindowId id = WindowId::Login;
    Text caption;  // shown in the taskbar only: the windows have no title bar
    int width = 0;
    int height = 0;  // client size
    bool borderless = true;
    bool centred = true;
    BackgroundMode background = BackgroundMode::ButtonFace;
    std::string_view backgroundPicture;
    bool escCloses = true;
    bool inTaskbar = true;
    std::vector<ControlDefinition> controls;
    std::vector<EventBinding> events;  // window events (Created)
};

// The asset path of a picture of the system, for QFile (":/assets/name").
#define EXAM_ASSET(name) std::string_view(":/assets/" name)

}  // namespace exam
