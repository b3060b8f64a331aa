#include "ui/LoginWindow.h"

#include "net/TcpClient.h"
#include "ui/Window.h"

namespace exam {

WindowDefinition loginWindowDefinition() {
    const auto panel = EXAM_ASSET("login-panel.bmp");
    const Text box = GBK("图片框3");
    auto whiteLabel = [&](const Text& name, Rect at, const Text& caption) {
        return ControlDefinition{.kind = ControlKind::Label, .name = name, .parent = box,
                                 .geometry = at, .caption = caption, .textColour = kWhite,
                                 .backgroundPicture = panel};
    };
    auto edit = [&](const Text& name, Rect at, int tabOrder) {
        return ControlDefinition{.kind = ControlKind::EditBox, .name = name, .parent = box,
                                 .geometry = at, .tabOrder = tabOrder, .textColour = kBlack,
                                 .background = kWhite, .border = true};
    };
    return WindowDefinition{
        .id = WindowId::Login,
        .caption = GBK("考试系统"),
        .width = 1000,
        .height = 400,
        .background = BackgroundMode::Tiled,
        .backgroundPicture = EXAM_ASSET("login-background.bmp"),
        .controls =
            {
                {.kind = ControlKind::Client, .name = GBK("客户1"),
                 .events = {{TcpClient::DataArrival, onLoginReply}}},
                {.kind = ControlKind::PictureBox, .name = GBK("图片框1"), .geometry = {28, 90, 456, 86},
                 .picture = EXAM_ASSET("login-banner.bmp")},
                {.kind = ControlKind::PictureBox, .name = GBK("图片框2"), .geometry = {111, 187, 283, 93},
                 .picture = EXAM_ASSET("login-emblem.bmp")},
                {.kind = ControlKind::PictureBox, .name = box, .geometry = {492, 80, 504, 209},
                 .picture = panel},
                whiteLabel(GBK("连接状态标签"), {52, 24, 192, 16}, GBK("考生登录")),
                whiteLabel(GBK("标签2"), {108, 67, 48, 16}, GBK("考生号：")),
                edit(GBK("考生号输入框"), {172, 64, 200, 20}, 0),
                whiteLabel(GBK("标签3"), {108, 114, 56, 16}, GBK("身份证号：")),
                edit(GBK("身份证号输入框"), {172, 111, 200, 20}, 1),
                {.kind = ControlKind::Button, .name = GBK("登录按钮"), .parent = box,
                 .geometry = {212, 160, 118, 39}, .tabOrder = 2, .caption = GBK("登录"),
                 .alignment = Alignment::Centre, .events = {{Clicked, onLoginButton}}},
            },
        .events = {{Created, onLoginCreated}},
    };
}

// The exam flow of this window comes with the handlers; until then the window only shows.
void onLoginCreated(Window&) {}
void onLoginReply(Window&) {}
void onLoginButton(Window&) {}

}  // namespace exam
