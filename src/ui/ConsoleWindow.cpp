#include "ui/ConsoleWindow.h"

#include "clock/IntervalTimer.h"
#include "net/TcpClient.h"
#include "net/TcpListener.h"
#include "ui/Window.h"

namespace exam {

WindowDefinition consoleWindowDefinition() {
    const Text tab = GBK("选择夹1");
    auto label = [&](int page, const Text& name, Rect at, const Text& caption, int fontPixels,
                     Alignment alignment) {
        return ControlDefinition{.kind = ControlKind::Label, .name = name, .parent = tab,
                                 .page = page, .geometry = at, .caption = caption,
                                 .fontPixels = fontPixels, .textColour = kBlack,
                                 .background = kButtonFace, .alignment = alignment};
    };
    auto timer = [&](int page, const Text& name, WindowHandler tick) {
        return ControlDefinition{.kind = ControlKind::Timer, .name = name, .parent = tab,
                                 .page = page, .timerPeriod = 0,
                                 .events = {{IntervalTimer::Tick, tick}}};
    };
    auto client = [&](int page, const Text& name, std::vector<EventBinding> events) {
        return ControlDefinition{.kind = ControlKind::Client, .name = name, .parent = tab,
                                 .page = page, .events = std::move(events)};
    };
    auto listener = [&](const Text& name, std::int32_t port, WindowHandler entered) {
        return ControlDefinition{.kind = ControlKind::Listener, .name = name, .parent = tab,
                                 .page = 2, .listenerPort = port,
                                 .events = {{TcpListener::ClientEntered, entered}}};
    };
    constexpr Alignment left = Alignment::Left, centre = Alignment::Centre;
    return WindowDefinition{
        .id = WindowId::Console,
        .caption = Text(),
        .width = 525,
        .height = 185,
        .background = BackgroundMode::ButtonFace,
        .controls =
            {
                {.kind = ControlKind::TabControl, .name = tab, .geometry = {8, 8, 512, 176},
                 .background = kButtonFace, .pages = 3},
                // Page 0: waiting for the start.
                label(0, GBK("标签1"), {16, 16, 456, 48}, GBK("请等待监考员发出开始考试指令"), 32, left),
                label(0, GBK("标签5"), {16, 57, 456, 48}, GBK("考试开始前请不要进行任何操作"), 32, left),
                label(0, GBK("时间标签"), {120, 120, 240, 24}, Text(" "), 0, centre),
                timer(0, GBK("时钟1"), onStartTrigger),
                timer(0, GBK("时钟3"), onInputLock),
                client(0, GBK("考题接受客户"), {{TcpClient::DataArrival, onPaperData}}),
                {.kind = ControlKind::Archiver, .name = GBK("ZIP压缩1"), .parent = tab, .page = 0},
                // Page 1: the countdown.
                label(1, GBK("标签3"), {8, 8, 232, 24}, GBK("本场考试剩余时间："), 0, left),
                label(1, GBK("分钟标签"), {144, 40, 80, 56}, GBK("标签"), 35, centre),
                label(1, GBK("标签4"), {230, 39, 32, 56}, GBK("："), 35, centre),
                label(1, GBK("秒标签"), {250, 39, 80, 56}, GBK("标签"), 35, centre),
                timer(1, GBK("时钟2"), onCountdown),
                client(1, GBK("客户1"), {}),
                // Page 2: the end.
                label(2, GBK("标签2"), {40, 16, 432, 72}, GBK("考试结束！请等待收卷完成后有序离场。"), 24,
                      left),
                listener(GBK("服务器1"), 18730, onCollectClient),
                listener(GBK("服务器2"), 18731, onFinishClient),
                client(2, GBK("客户2"), {}),
            },
        .events = {{Created, onConsoleCreated}},
    };
}

// The exam flow of this window comes with the handlers; until then the window only shows.
void onConsoleCreated(Window&) {}
void onStartTrigger(Window&) {}
void onCountdown(Window&) {}
void onInputLock(Window&) {}
void onPaperData(Window&) {}
void onCollectClient(Window&) {}
void onFinishClient(Window&) {}

}  // namespace exam
