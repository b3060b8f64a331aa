#include "ui/ConfirmWindow.h"

#include "net/TcpClient.h"
#include "ui/Window.h"

namespace exam {

WindowDefinition confirmWindowDefinition() {
    const auto panel = EXAM_ASSET("login-panel.bmp");
    const Text box = GBK("图片框3");
    auto whiteLabel = [&](const Text& name, Rect at, const Text& caption) {
        return ControlDefinition{.kind = ControlKind::Label, .name = name, .parent = box,
                                 .geometry = at, .caption = caption, .textColour = kWhite,
                                 .backgroundPicture = panel};
    };
    auto button = [&](const Text& name, Rect at, int tabOrder, const Text& caption, bool disabled,
                      WindowHandler handler) {
        return ControlDefinition{.kind = ControlKind::Button, .name = name, .parent = box,
                                 .geometry = at, .disabled = disabled, .tabOrder = tabOrder,
                                 .caption = caption, .alignment = Alignment::Centre,
                                 .events = {{Clicked, handler}}};
    };
    return WindowDefinition{
        .id = WindowId::Confirm,
        .caption = GBK("考试系统"),
        .width = 1000,
        .height = 400,
        .background = BackgroundMode::Tiled,
        .backgroundPicture = EXAM_ASSET("login-background.bmp"),
        .controls =
            {
                {.kind = ControlKind::Client, .name = GBK("客户1"),
                 .events = {{TcpClient::DataArrival, onPhotoData}}},
                {.kind = ControlKind::PictureBox, .name = GBK("图片框1"), .geometry = {28, 90, 456, 86},
                 .picture = EXAM_ASSET("login-banner.bmp")},
                {.kind = ControlKind::PictureBox, .name = GBK("图片框2"), .geometry = {111, 187, 283, 93},
                 .picture = EXAM_ASSET("login-emblem.bmp")},
                {.kind = ControlKind::PictureBox, .name = box, .geometry = {492, 80, 504, 209},
                 .picture = panel},
                whiteLabel(GBK("标签1"), {52, 24, 440, 16}, GBK("考生信息查看（本考场为）")),
                whiteLabel(GBK("标签2"), {52, 56, 48, 16}, GBK("姓名：")),
                whiteLabel(GBK("考生姓名标签"), {112, 56, 48, 16}, GBK("考生姓名")),
                whiteLabel(GBK("标签4"), {51, 81, 48, 16}, GBK("考生号：")),
                whiteLabel(GBK("考生号标签"), {113, 81, 123, 16}, GBK("考生号")),
                whiteLabel(GBK("标签6"), {51, 104, 61, 16}, GBK("身份证号：")),
                whiteLabel(GBK("身份证号标签"), {115, 103, 153, 16}, GBK("身份证号")),
                {.kind = ControlKind::PictureBox, .name = GBK("考生照片标签"), .parent = box,
                 .geometry = {380, 40, 80, 104}, .background = kButtonFace,
                 .displayMode = DisplayMode::Stretch},
                button(GBK("按钮1"), {124, 168, 72, 24}, 0, GBK("信息有误"), false, onWrongDataButton),
                button(GBK("按钮2"), {232, 168, 72, 24}, 1, GBK("信息正确"), false, onRightDataButton),
                button(GBK("开始考试按钮"), {336, 168, 72, 24}, 2, GBK("开始考试"), true,
                       onStartExamButton),
            },
        .events = {{Created, onConfirmCreated}},
    };
}

// The exam flow of this window comes with the handlers; until then the window only shows.
void onConfirmCreated(Window&) {}
void onPhotoData(Window&) {}
void onWrongDataButton(Window&) {}
void onRightDataButton(Window&) {}
void onStartExamButton(Window&) {}

}  // namespace exam
